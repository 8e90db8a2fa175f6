#include "viewexport.h"

#include "context/analysisrecord.h"
#include "context/appcontext.h"
#include "context/channelsource.h"
#include "context/mainframe.h"
#include "platform/atomicfile.h"
#include "platform/messagebox.h"
#include "platform/textarchive.h"
#include "views/graphwnd.h"
#include "views/viewtable.h"

#include <QAction>
#include <QBuffer>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenu>
#include <QPointer>

namespace {

ViewExport::PathChooser& Chooser()
{
    static ViewExport::PathChooser chooser;
    return chooser;
}

QString AskForPath(QWidget* parent, const QString& suggested, ViewExport::Kind kind)
{
    const QString filter = kind == ViewExport::Kind::Csv ? QStringLiteral("CSV files (*.csv)")
                                                         : QStringLiteral("PNG pictures (*.png)");
    // Replacing is asked by Save, in the same words for every way in.
    return QFileDialog::getSaveFileName(parent, QStringLiteral("Export"), suggested, filter, nullptr,
                                        QFileDialog::DontConfirmOverwrite);
}

QString SourceText(const CGraphWnd& view)
{
    const QString name = view.Frame() ? view.Frame()->SourceName() : QString();
    return name.isEmpty() ? QStringLiteral("none") : name;
}

QString ChannelsText(const CGraphWnd& view)
{
    QStringList names;
    for (int slot = 0; slot < 2; ++slot) {
        const int channel = view.SlotChannel(slot);
        if (channel < 0 || !view.Data().SlotShown(slot))
            continue;
        const QString unit = Channels().UnitText(channel);
        names << Channels().NameText(channel) + (unit.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(unit));
    }
    return names.isEmpty() ? QStringLiteral("none") : names.join(QStringLiteral(", "));
}

// The panel's settings lines, as a settings set stores them.
QStringList PanelLines(CGraphWnd& view)
{
    QByteArray bytes;
    {
        TextArchive archive;
        archive.OpenBuffer(&bytes, TextArchive::Mode::Store);
        view.StorePanel(archive);
        archive.Close();
    }
    QStringList lines;
    for (const QString& line : TextArchive::FromCp1252(bytes).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts))
        lines << line;
    return lines;
}

} // namespace

QString ViewExport::ViewName(const CGraphWnd& view)
{
    // CFftView → "FFT"; the time view's tab says "TIME".
    QString name = QString::fromLatin1(view.metaObject()->className());
    if (name.startsWith(QLatin1Char('C')))
        name.remove(0, 1);
    if (name.endsWith(QLatin1String("View")))
        name.chop(4);
    return name.toUpper();
}

QStringList ViewExport::Provenance(CGraphWnd& view, const QDateTime& when)
{
    QStringList lines;
    lines << QStringLiteral("KRV %1").arg(QLatin1String(AppContext::kVersionText))
          << QStringLiteral("date: %1").arg(when.toString(Qt::ISODate)) << QStringLiteral("view: %1").arg(ViewName(view))
          << QStringLiteral("source: %1").arg(SourceText(view)) << QStringLiteral("channels: %1").arg(ChannelsText(view));
    const CaptureRecord* capture = view.AnalysesRecords() ? view.Capture() : nullptr;
    if (capture) {
        lines << QStringLiteral("sample interval: %1 s").arg(ViewTable::Number(capture->sampleInterval))
              << QStringLiteral("record: %1, %2 samples").arg(capture->sequence).arg(capture->length)
              << QStringLiteral("lost samples in record: %1").arg(capture->lost);
    } else if (Channels().ChannelCount() > 0) {
        // The octave and multimeter views read every sample as it comes.
        lines << QStringLiteral("sample interval: %1 s").arg(ViewTable::Number(Channels().SampleInterval(0)));
    }
    const AnalysisRecord* record = view.Record();
    if (record && view.AnalysesRecords())
        lines << QStringLiteral("points: %1, overlap: %2 %, averages: %3")
                     .arg(record->points)
                     .arg(record->overlap)
                     .arg(record->averages == 0 ? QStringLiteral("auto") : QString::number(record->averages));
    for (const QString& line : PanelLines(view))
        lines << QStringLiteral("panel: %1").arg(line);
    return lines;
}

QString ViewExport::Csv(CGraphWnd& view, const QDateTime& when)
{
    ViewTable table = view.ExportTable();
    for (const QString& line : Provenance(view, when))
        table.AddComment(line);
    return table.ToCsv();
}

QImage ViewExport::Picture(CGraphWnd& view) { return view.grab().toImage(); }

QString ViewExport::SuggestedPath(const CGraphWnd& view, Kind kind, const QDateTime& when)
{
    const QString folder = Ctx().chosenDataPath.isEmpty() ? Ctx().dataDirectory : Ctx().chosenDataPath;
    const QString name = QStringLiteral("%1_%2.%3")
                             .arg(ViewName(view), when.toString(QStringLiteral("yyyyMMdd_HHmmss")),
                                  kind == Kind::Csv ? QStringLiteral("csv") : QStringLiteral("png"));
    return folder.isEmpty() ? name : QDir(folder).filePath(name);
}

QByteArray ViewExport::Bytes(CGraphWnd& view, Kind kind)
{
    if (kind == Kind::Csv)
        return Csv(view).toUtf8();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    Picture(view).save(&buffer, "PNG");
    return bytes;
}

bool ViewExport::Save(CGraphWnd& view, Kind kind, const QString& path, QWidget* boxParent)
{
    if (QFileInfo::exists(path)
        && ShowMessageBox(boxParent, QStringLiteral("%1 exists. Replace it?").arg(path), QString(),
                          MsgIcon::Question, MB_YESNO)
               != IDYES)
        return false;
    QString reason;
    if (AtomicFile::Write(path, Bytes(view, kind), &reason))
        return true;
    ShowMessageBox(boxParent, QStringLiteral("Could not write %1: %2").arg(path, reason), QString(), MsgIcon::Error);
    return false;
}

void ViewExport::CopyData(CGraphWnd& view) { QGuiApplication::clipboard()->setText(Csv(view)); }

bool ViewExport::ExportAs(CGraphWnd& view, Kind kind)
{
    QWidget* parent = view.window();
    const QString suggested = SuggestedPath(view, kind, QDateTime::currentDateTime());
    const QString path = Chooser() ? Chooser()(parent, suggested, kind) : AskForPath(parent, suggested, kind);
    return !path.isEmpty() && Save(view, kind, path, parent);
}

void ViewExport::AddActions(QMenu& menu, CGraphWnd& view)
{
    QPointer<CGraphWnd> target(&view);
    menu.addAction(QStringLiteral("Copy data"), &menu, [target] {
        if (target)
            CopyData(*target);
    });
    menu.addAction(QStringLiteral("Export CSV…"), &menu, [target] {
        if (target)
            ExportAs(*target, Kind::Csv);
    });
    menu.addAction(QStringLiteral("Export PNG…"), &menu, [target] {
        if (target)
            ExportAs(*target, Kind::Png);
    });
}

void ViewExport::SetPathChooser(PathChooser chooser) { Chooser() = std::move(chooser); }
