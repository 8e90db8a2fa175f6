// The main window with its bar and pages, in each colour scheme.
#include "gallery.h"

#include "panels/controlbar.h"
#include "platform/messagebox.h"
#include "context/appcontext.h"
#include "shell/wndkrv.h"

#include <QApplication>
#include <QDir>

GALLERY_RENDERER(main_window)
{
    // Keep the persisted options and placement of the user out of it.
    qputenv("XDG_CONFIG_HOME", QDir::tempPath().toLocal8Bit() + "/krv-gallery-config");
    MessageBoxRecorder boxes;
    const char* names[] = {"green", "dark", "bw"};
    for (int scheme = 0; scheme < 3; ++scheme) {
        CWndKRV window;
        window.Create();
        QApplication::processEvents();
        window.showNormal();
        window.resize(1000, 600);
        window.ApplyColourScheme(scheme);
        window.SetPageCount(scheme == 1 ? 4 : 2);
        out.Save(&window, QStringLiteral("main_window_%1").arg(names[scheme]));
    }
}
