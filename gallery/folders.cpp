// The folder picker over a small known folder tree.
#include "gallery.h"

#include "folders/folderedit.h"
#include "folders/folderpicker.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QListView>
#include <QTemporaryDir>
#include <QKeyEvent>
#include <QThread>

namespace {

void Pump(int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
        QCoreApplication::processEvents();
        QThread::msleep(5);
    }
}

void TypeInto(QWidget* widget, const QString& text)
{
    for (QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QCoreApplication::sendEvent(widget, &press);
    }
}

void WaitForList(CFolderPicker& picker, int rows)
{
    auto* list = picker.findChild<QListView*>(QStringLiteral("listView"));
    QElapsedTimer clock;
    clock.start();
    while (list && list->model()->rowCount(list->rootIndex()) < rows && clock.elapsed() < 3000)
        Pump(20);
    Pump(50);
}

} // namespace

GALLERY_RENDERER(folder_picker)
{
    QTemporaryDir temp;
    QString root = temp.path() + QStringLiteral("/measurements");
    for (const char* name : {"2026-11 run-up", "2026-12 bearing", "calibration", "data", "exports"})
        QDir().mkpath(root + '/' + name);
    QFile file(root + QStringLiteral("/notes.txt"));
    file.open(QIODevice::WriteOnly);
    file.close();

    CFolderPicker picker(root, QStringLiteral("Folder (*.vrd)|*.vrd||"));
    picker.resize(640, 400);
    picker.show();
    WaitForList(picker, 5);
    out.Save(&picker, QStringLiteral("folder_picker"));

    // Typing the first letters of the only folder that starts with them.
    picker.FolderField()->setText(root + QStringLiteral("/"));
    picker.FolderField()->end(false);
    TypeInto(picker.FolderField(), QStringLiteral("ca"));
    out.Save(&picker, QStringLiteral("folder_picker_completion"));
}
