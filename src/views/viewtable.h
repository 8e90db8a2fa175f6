#pragma once
// The numbers a view shows, as a table for export: comment lines (the
// provenance), one header row naming each column with its unit, then one
// row per x value (frequency, lag, time, band) or, for a colour map or
// cascade, one row per segment. Cells are text so that a statistic's name
// can stand beside its value. UI thread only.

#include <QString>
#include <QStringList>
#include <vector>

class CGraphWnd;

class ViewTable {
public:
    void AddComment(const QString& line) { m_comments.append(line); }
    void SetColumns(const QStringList& columns) { m_columns = columns; }
    void AddRow(const QStringList& cells) { m_rows.push_back(cells); }

    const QStringList& Comments() const { return m_comments; }
    const QStringList& Columns() const { return m_columns; }
    int RowCount() const { return int(m_rows.size()); }
    const QStringList& Row(int row) const { return m_rows[size_t(row)]; }
    bool Empty() const { return m_rows.empty(); }

    // Comma-separated values: each comment as "# line", the header row, the
    // rows; cells holding a comma, quote or line break are quoted. Lines
    // end in "\n".
    QString ToCsv() const;

    // A value with nine significant digits, which reads back to the same
    // float; "nan", "inf" and "-inf" for the values that are no number.
    static QString Number(double value);
    // "name [unit]", or the name alone without a unit.
    static QString Heading(const QString& name, const QString& unit);

    // A slot's name as its legend shows it: the analysis' name, else its
    // channel's name, else "ch1" or "ch2".
    static QString SlotTitle(const CGraphWnd& view, int slot);

    // What a graph view's display arrays show: the x column and one column
    // per shown slot (and its second quantity, in a split view), or for a
    // view of several rows (cascade, spectrogram) one row per slot and
    // segment with one column per bin.
    static ViewTable FromDisplay(const CGraphWnd& view);

private:
    static void AddLines(ViewTable& table, const CGraphWnd& view);
    static void AddSegmentRows(ViewTable& table, const CGraphWnd& view);

    QStringList m_comments;
    QStringList m_columns;
    std::vector<QStringList> m_rows;
};
