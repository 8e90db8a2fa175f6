// KRV as it starts, with one difference: once the main window is up it
// presses "Rec" itself, as the user would, and prints "recording PATH" on a
// line of its own. Then it runs until it is told to stop. The termination
// test sends it signals. Argument: the folder for the recording.
#include "context/appcontext.h"
#include "panels/controlbar.h"
#include "shell/krvapp.h"
#include "shell/wndkrv.h"
#include "widgets/togglebutton.h"

#include <QTest>
#include <cstdio>

int main(int argc, char** argv)
{
    CKrvApp app(argc, argv);
    app.InitInstance();
    if (argc > 1)
        Ctx().chosenDataPath = QString::fromLocal8Bit(argv[1]);
    CWndKRV* window = app.MainWindow();
    QTest::mouseClick(window->Bar()->Control(CControlBar::IdRec), Qt::LeftButton);
    if (!window->Hardware().RecordFile().IsRecording()) {
        std::puts("not recording");
        return 1;
    }
    std::printf("recording %s\n", window->Hardware().RecordFile().FilePath().toLocal8Bit().constData());
    std::fflush(stdout);
    return app.exec();
}
