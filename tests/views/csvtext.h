#pragma once
// Reads back an exported CSV text: the "# " comment lines, the header row
// and the rows, cells split at commas (the exports' numeric tables quote
// nothing).

#include <QString>
#include <QStringList>
#include <vector>

struct CsvText {
    QStringList comments;
    QStringList header;
    std::vector<QStringList> rows;

    explicit CsvText(const QString& text)
    {
        bool headerRead = false;
        for (const QString& line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            if (line.startsWith(QLatin1String("# ")))
                comments << line.mid(2);
            else if (!headerRead) {
                header = line.split(QLatin1Char(','));
                headerRead = true;
            } else
                rows.push_back(line.split(QLatin1Char(',')));
        }
    }
    // The comment line that starts with key, or "".
    QString Comment(const QString& key) const
    {
        for (const QString& line : comments)
            if (line.startsWith(key))
                return line;
        return QString();
    }
    float Float(int row, int column) const { return rows[size_t(row)][column].toFloat(); }
};
