#pragma once
// Export of what a view shows: its numbers as CSV (to a file or the
// clipboard) with the provenance in "#" comment lines, and its picture as
// PNG at the window's device pixel ratio. Files are written whole or not
// at all (a failure leaves no partial file and shows one box naming the
// file and the reason); an existing file is replaced only when the user
// agrees. UI thread only.

#include <QDateTime>
#include <QImage>
#include <QString>
#include <QStringList>
#include <functional>

class CGraphWnd;
class QMenu;
class QWidget;

class ViewExport {
public:
    enum class Kind { Csv, Png };

    // The view's kind as its tab names it: "FFT", "PSD", … "DMM".
    static QString ViewName(const CGraphWnd& view);
    // Program, time, view, source, channels, sample interval, the main
    // bar's and the panel's settings, record number and lost samples.
    static QStringList Provenance(CGraphWnd& view, const QDateTime& when);
    static QString Csv(CGraphWnd& view, const QDateTime& when = QDateTime::currentDateTime());
    // The view as drawn, at its device pixel ratio.
    static QImage Picture(CGraphWnd& view);

    // The data folder (the chosen data path, else the program's), and in
    // it a name from the view and the time: "FFT_20261209_031500.csv".
    static QString SuggestedPath(const CGraphWnd& view, Kind kind, const QDateTime& when);
    // Writes the export to path: asks before replacing a file, shows a box
    // when writing fails. True when the file was written.
    static bool Save(CGraphWnd& view, Kind kind, const QString& path, QWidget* boxParent);
    // The CSV onto the clipboard.
    static void CopyData(CGraphWnd& view);
    // Asks for a file name (starting from the suggested one) and saves.
    static bool ExportAs(CGraphWnd& view, Kind kind);

    // "Copy data", "Export CSV…", "Export PNG…" acting on the view.
    static void AddActions(QMenu& menu, CGraphWnd& view);

    // Replaces the file-name question (tests); an empty answer cancels.
    using PathChooser = std::function<QString(QWidget* parent, const QString& suggested, Kind kind)>;
    static void SetPathChooser(PathChooser chooser);

private:
    static QByteArray Bytes(CGraphWnd& view, Kind kind);
};
