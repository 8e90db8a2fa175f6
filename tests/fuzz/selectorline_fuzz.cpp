// Settings lines applied to a value selector, as a panel hands them over
// from a settings set file (the rest of each line after the key's colon).
// The first byte chooses the selector: bit 0 a list of items or a numeric
// grid, bit 1 whether applying notifies, bits 2 and 3 a wheel step up or
// down after each line. The rest is read line by line through a settings
// archive. After each line the selector draws itself, its text stays within
// its items, and the line it writes, applied to a fresh selector of the
// same kind, writes the same line again.

#include "platform/textarchive.h"
#include "widgets/selectorbutton.h"

#include <QApplication>
#include <QByteArray>
#include <QPixmap>
#include <QWheelEvent>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

const QString kKey = QStringLiteral("Sel:");

[[noreturn]] void Fail(const char* what, const QString& line)
{
    std::fprintf(stderr, "selector line: %s: %s\n", what, qPrintable(line));
    std::abort();
}

void Prepare(CSelectorButton& selector, bool list)
{
    selector.resize(120, 20);
    if (!list) {
        selector.SetNumeric(0.5, 2.0);
        return;
    }
    const char* const texts[] = {"1m", "2m", "5m", "10m", "0.1", "1", "10", "100k", "1M"};
    int key = 0;
    for (const char* text : texts)
        selector.AddItem(QString::fromLatin1(text), key += 10);
}

// The rest of the selector's own settings line.
QString OwnRest(const CSelectorButton& selector)
{
    QString line = selector.SerializeLine(kKey);
    if (!line.startsWith(kKey) || !line.endsWith(QLatin1String("\r\n")))
        Fail("written line without key or line end", line);
    return line.mid(kKey.size(), line.size() - kKey.size() - 2);
}

void Wheel(CSelectorButton& selector, int delta)
{
    const QPointF at(selector.width() - 10, selector.height() / 2);
    QWheelEvent event(at, selector.mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(&selector, &event);
}

void Check(CSelectorButton& selector, bool list)
{
    if (list && selector.Items().indexOf(selector.CurrentText()) < 0)
        Fail("text outside the items", selector.CurrentText());
    selector.grab();
    const QString rest = OwnRest(selector);
    CSelectorButton fresh;
    Prepare(fresh, list);
    fresh.ApplySettingsLine(rest, false);
    if (OwnRest(fresh) != rest)
        Fail("line read back differs", rest + QLatin1String(" -> ") + OwnRest(fresh));
}

} // namespace

// The font configuration library keeps its caches through encoded offsets,
// which the leak checker cannot follow while the application lives on.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "selectorline_fuzz";
    static char* argv[] = {name, nullptr};
    // Never deleted: at exit Qt's own statics made on the way (the input
    // devices of the wheel events) are gone before any handler of ours runs.
    static QApplication* app = new QApplication(argc, argv);
    (void)app;
    // Fonts are looked up on the first drawing and cached for the process:
    // done here, that is not taken for a leak of the first input.
    CSelectorButton selector;
    Prepare(selector, true);
    selector.grab();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const uint8_t mode = data[0];
    const bool list = mode & 1;
    const bool notify = mode & 2;
    CSelectorButton selector;
    Prepare(selector, list);

    QByteArray bytes(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));
    TextArchive in;
    in.OpenBuffer(&bytes, TextArchive::Mode::Load);
    QString rest;
    while (in.ReadLine(rest)) {
        selector.SerializeLine(in, rest, notify);
        if (mode & 4)
            Wheel(selector, 120);
        if (mode & 8)
            Wheel(selector, -120);
        Check(selector, list);
    }
    return 0;
}
