// A settings set file as the main window loads it: the input is written as
// set 1 in the program directory and loaded into one main window that lives
// for the whole run, with its main bar, its pages and every view the build
// makes. The window has no hardware source, so the "Hw {" block is read and
// passed over (its contents have a target of their own).
//
// Whatever was loaded, the window must hold one to ten pages, and the set
// it saves afterwards must load back to itself: a line that loads into
// something that saves differently is a fault of its owner.

#include "context/appcontext.h"
#include "platform/companionbus.h"
#include "platform/messagebox.h"
#include "platform/modaldialog.h"
#include "platform/profile.h"
#include "platform/textarchive.h"
#include "shell/settingssetfiles.h"
#include "shell/wndkrv.h"

#include <QApplication>
#include <QByteArray>
#include <QFile>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace {

std::string g_zqName;
std::string g_folder;
CWndKRV* g_window = nullptr;

void CleanUp()
{
    if (!g_zqName.empty()) {
        shm_unlink(("/" + g_zqName).c_str());
        shm_unlink(("/" + g_zqName + ".readers").c_str());
    }
    if (!g_folder.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(g_folder, ignored);
    }
}

QByteArray StoredSet()
{
    QByteArray bytes;
    TextArchive archive;
    archive.OpenBuffer(&bytes, TextArchive::Mode::Store);
    g_window->StoreSet(archive, QStringLiteral("fuzz"));
    archive.Close();
    return bytes;
}

} // namespace

// Drawing text keeps the font configuration library's caches alive through
// encoded offsets, which the leak checker cannot follow.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // Never deleted: Qt's own statics are gone at exit before any handler
    // of ours runs.
    static QApplication* app = new QApplication(*argc, *argv);
    (void)app;
    // No recorder: the window's hardware stays without a source.
    setenv("VELMOR_SIM_MODULE", "", 1);
    // A program folder of our own for the set file; the test replay brings
    // its own profile folder and channel buffer namespace, the fuzzer gets
    // temporary ones.
    char pattern[] = "/tmp/krv-fuzz-set-XXXXXX";
    if (!mkdtemp(pattern))
        std::abort();
    g_folder = pattern;
    std::atexit(CleanUp);
    if (!std::getenv("ZQ_NAME")) {
        setenv("XDG_CONFIG_HOME", g_folder.c_str(), 1);
        g_zqName = "krv-fuzz-set-" + std::to_string(getpid());
        setenv("ZQ_NAME", g_zqName.c_str(), 1);
    }
    Profile::SetProgramName(QStringLiteral("krv"));
    Ctx().programDirectory = QString::fromStdString(g_folder + "/");
    Ctx().dataDirectory = Ctx().programDirectory + QStringLiteral("data");
    Ctx().companionMessage = CompanionBus::Instance().RegisterMessage(QStringLiteral("Ostrane"));
    static MessageBoxRecorder boxes;
    static DialogRecorder dialogs;
    // Lives as long as the process, like the program's own window.
    g_window = new CWndKRV();
    g_window->Create();
    g_window->resize(800, 700);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    {
        QFile file(SettingsSetFiles::PathOf(1));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            std::abort();
        file.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    g_window->LoadSet(1);
    if (g_window->PageCount() < 1 || g_window->PageCount() > CWndKRV::kMaxPages) {
        std::fprintf(stderr, "settingsset: %d pages after loading\n", g_window->PageCount());
        std::abort();
    }
    g_window->Tick();

    QByteArray saved = StoredSet();
    TextArchive in;
    in.OpenBuffer(&saved, TextArchive::Mode::Load);
    g_window->LoadSetFrom(in);
    in.Close();
    const QByteArray again = StoredSet();
    if (again != saved) {
        std::fprintf(stderr, "settingsset: the set saved after loading does not load back to itself\n"
                             "--- saved\n%s\n--- saved after loading that\n%s\n",
                     saved.constData(), again.constData());
        std::abort();
    }
    MessageBoxRecorder::Installed()->Clear();
    DialogRecorder::Installed()->Clear();
    return 0;
}
