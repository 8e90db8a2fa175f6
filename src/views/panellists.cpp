#include "panellists.h"

#include "analysis/windowtype.h"
#include "widgets/selectorbutton.h"

#include <initializer_list>

namespace {
void AddTexts(CSelectorButton& selector, std::initializer_list<const char*> texts, const QString& defaultText)
{
    for (const char* text : texts)
        selector.AddItem(QString::fromLatin1(text), -1);
    selector.SelectText(defaultText);
}
} // namespace

void VoltsPerDivList(CSelectorButton& selector, const QString& defaultText)
{
    selector.ClearItems();
    AddTexts(selector,
             {"0.1u", "0.2u", "0.5u", "1u",  "2u",  "5u",  "10u", "20u", "50u",  "0.1m", "0.2m", "0.5m", "1m",
              "2m",   "5m",   "0.01", "0.02", "0.05", "0.1", "0.2", "0.5", "1",   "2",   "5",    "10",   "20",
              "50",   "100",  "200",  "500", "1k",  "2k",  "5k",  "10k", "20k", "50k",  "100k", "200k", "500k"},
             defaultText);
}

void WindowList(CSelectorButton& selector, const QString& defaultText)
{
    for (int type = 0; type < kWindowTypeCount; ++type) {
        const std::string_view text = WindowTypeText(WindowType(type));
        selector.AddItem(QString::fromLatin1(text.data(), qsizetype(text.size())), type);
    }
    selector.SelectText(defaultText);
}

void FftPointsList(CSelectorButton& selector, const QString& defaultText)
{
    AddTexts(selector, {"128", "256", "512", "1024", "2048", "4096", "8192", "16384", "32768", "65536"},
             defaultText);
}

void AverageCountList(CSelectorButton& selector, const QString& defaultText)
{
    selector.AddItem(QStringLiteral("Auto"), 0);
    for (int count = 1; count <= 128; count *= 2)
        selector.AddItem(QString::number(count), count);
    selector.SelectText(defaultText);
}

void SpanList(CSelectorButton& selector, const QString& defaultText)
{
    AddTexts(selector,
             {"1 Hz", "2 Hz", "5 Hz", "10 Hz", "20 Hz", "50 Hz", "100 Hz", "200 Hz", "500 Hz", "1000 Hz",
              "2000 Hz", "5000 Hz", "10000 Hz", "20000 Hz", "50000 Hz"},
             defaultText);
}

void PercentList(CSelectorButton& selector, const QString& defaultText)
{
    for (int percent = 0; percent < 100; percent += 5)
        selector.AddItem(QString::asprintf("%d%%", percent), -1);
    selector.SelectText(defaultText);
}

void TimePerDivList(CSelectorButton& selector, const QString& defaultText)
{
    AddTexts(selector,
             {"1s", "0.5s", "0.2s", "0.1s", "0.05s", "0.02s", "0.01s", "0.005s", "0.002s", "0.001s", "0.0005s",
              "0.0002s", "0.0001s"},
             defaultText);
}

void LevelScaleCaptions(CSelectorButton& selector)
{
    selector.SetItemCaption(QStringLiteral("dbV"), QStringLiteral("dBV"));
    selector.SetItemCaption(QStringLiteral("dbuV"), QStringLiteral("dBu"));
}

void ResponseScaleCaptions(CSelectorButton& selector)
{
    selector.SetItemCaption(QStringLiteral("10 log"), QStringLiteral("dB"));
}
