// Pictures of the grid control, the five channel setup dialogs (with marked
// rows and an open list), and the rpm, set-name and attention dialogs.
#include "gallery.h"

#include "acquisition/calibrationdlg.h"
#include "acquisition/channelsetupdlg.h"
#include "acquisition/hwchansetup.h"
#include "acquisition/rpmdlg.h"
#include "context/appcontext.h"
#include "panels/attentiondlg.h"
#include "panels/setnamedlg.h"
#include "platform/appmessage.h"
#include "widgets/gridctrl.h"
#include "widgets/gridnotify.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QPainter>
#include <QScrollBar>

namespace {

constexpr int kGridMessage = 150;

// A grid owner with twelve rows of made-up measurement values.
class TableOwner : public QObject {
protected:
    bool event(QEvent* event) override
    {
        if (AppMessage::NumberOf(event) != kGridMessage)
            return QObject::event(event);
        auto* message = static_cast<AppMessage*>(event);
        auto& notify = *reinterpret_cast<GridNotify*>(message->WParam());
        if (notify.kind == GridNotify::RowCount)
            message->SetResult(12);
        if (notify.kind == GridNotify::Paint) {
            const QRect inner(notify.left, notify.top, notify.right - notify.left, notify.bottom - notify.top);
            const QString text = notify.column == 0 ? QString::number(notify.row + 1)
                                                    : QString::number(0.25 * notify.row * (notify.column + 1));
            notify.painter->drawText(inner, Qt::AlignCenter, text);
        }
        return true;
    }
};

// The widget with its open drop-down list drawn where the list shows.
QImage WithOpenList(QWidget* window, QComboBox* list)
{
    QImage image = window->grab().toImage();
    QWidget* popup = list ? list->view()->window() : nullptr;
    if (!popup || !popup->isVisible())
        return image;
    QPainter painter(&image);
    painter.drawImage(window->mapFromGlobal(popup->mapToGlobal(QPoint(0, 0))), popup->grab().toImage());
    return image;
}

// Records of a module as a user might have set them up.
void SampleRecords(HwChanSetup (&records)[24])
{
    for (int ch = 0; ch < 24; ++ch) {
        records[ch].On = ch < 8 || ch == 23;
        records[ch].Range = 9 - ch % 4;
        records[ch].Cpl = ch % 3 == 0 ? 1 : 0;
        records[ch].Filter = ch % 2;
    }
    records[0].Name = QStringLiteral("Front axle");
    records[0].Unit = QStringLiteral("m/s\u00b2");
    records[0].a = QStringLiteral("9.81");
    records[0].atV = QStringLiteral("0.1");
    records[1].Name = QStringLiteral("Microphone");
    records[1].Unit = QStringLiteral("Pa");
    records[1].a = QStringLiteral("1");
    records[1].atV = QStringLiteral("0.05");
    for (int ch : {2, 3, 4})
        records[ch].selected = true;
}

} // namespace

GALLERY_RENDERER(grid)
{
    Ctx().colours.Apply(1);
    TableOwner owner;
    CGridCtrl grid;
    grid.SetTitle(QStringLiteral("Grid with a frozen column"));
    grid.AddColumn(QStringLiteral("Row"), 40);
    for (const char* title : {"Alpha", "Beta", "Gamma", "Delta", "Epsilon"})
        grid.AddColumn(QString::fromLatin1(title), 70, 0, QColor(255, 255, 240));
    grid.SetFrozenColumn(0);
    grid.SetOwner(&owner, kGridMessage);
    grid.SetStyle(0, QSize(300, 200));
    grid.show();
    grid.HorizontalBar()->setValue(75);
    grid.VerticalBar()->setValue(2);
    grid.SelectCell(3, 4);
    grid.EditCell(4, 6, QStringLiteral("1.75"), true);
    QApplication::processEvents();
    out.Save(&grid, QStringLiteral("grid"));
}

GALLERY_RENDERER(setup_dialogs)
{
    const struct {
        const char* model;
        SetupField listField;
        int listRow;
    } dialogs[] = {{"Halvek", SetupField::Range, 1},
                   {"HalvekDC", SetupField::Range, 3},
                   {"Halvek+", SetupField::Filter, 0},
                   {"Morsil", SetupField::Cpl, 2},
                   {"Pendra", SetupField::MicPwr, 1}};
    for (int scheme : {0, 1}) {
        Ctx().colours.Apply(scheme);
        for (const auto& d : dialogs) {
            HwChanSetup records[24];
            SampleRecords(records);
            auto dialog = CChannelSetupDlg::ForModel(QString::fromLatin1(d.model), nullptr, 10000, records);
            dialog->show();
            CGridCtrl* grid = dialog->Grid();
            const int column = dialog->ColumnOf(d.listField);
            grid->ComboCell(column, d.listRow, dialog->CellText(column, d.listRow),
                            QString::fromUtf8(dialog->Layout().columns[column].ItemsOfRow(d.listRow)));
            QApplication::processEvents();
            QString name = QStringLiteral("setup_%1").arg(QString::fromLatin1(d.model).replace('+', "plus"));
            if (scheme == 1)
                name += QStringLiteral("_dark");
            out.Save(WithOpenList(dialog.get(), grid->ListEditor()), name);
            grid->EndEdit();
        }
    }
    Ctx().colours.Apply(1);
}

GALLERY_RENDERER(small_dialogs)
{
    Ctx().colours.Apply(0);
    CRpmDlg rpm;
    rpm.SetValues(QStringLiteral("35%"), QStringLiteral("20usec"), 60, 2);
    out.Save(&rpm, QStringLiteral("rpm_dialog"));

    CSetNameDlg name;
    name.SetName(QStringLiteral("Run-up test"));
    out.Save(&name, QStringLiteral("setname_dialog"));

    CAttentionDlg attention(nullptr, QStringLiteral("Set avg must to auto"), 0);
    out.Save(&attention, QStringLiteral("attention_dialog"));

    CCalibrationDlg calibration(nullptr, {0, 7, 12}, {1000, 30, 60000});
    out.Save(&calibration, QStringLiteral("calibration_progress"));
    Ctx().colours.Apply(1);
}
