#include "hwchansetup.h"

#include "platform/textarchive.h"

#include <algorithm>
#include <charconv>
#include <cerrno>
#include <cstdlib>
#include <limits>

int HwChanSetup::TextToInt(const QString& text)
{
    const QByteArray bytes = text.trimmed().toLatin1();
    errno = 0;
    const long long value = std::strtoll(bytes.constData(), nullptr, 10);
    if (errno == ERANGE || value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max())
        return 0;
    return static_cast<int>(value);
}

double HwChanSetup::TextToDouble(const QString& text)
{
    const QByteArray bytes = text.toLatin1();
    const char* begin = bytes.constData();
    const char* end = begin + bytes.size();
    while (begin < end && (*begin == ' ' || *begin == '\t'))
        ++begin;
    if (begin < end && *begin == '+')
        ++begin;
    double value = 0.0;
    if (std::from_chars(begin, end, value).ec != std::errc())
        return 0.0;
    return value;
}

double HwChanSetup::Gain() const
{
    const double volts = TextToDouble(atV);
    if (volts == 0.0)
        return 1.0;
    return TextToDouble(a) / volts;
}

double HwChanSetup::Offset() const { return TextToDouble(b); }

double HwChanSetup::PulseFactor(int sampleRate) const
{
    return double(CntAcr) * sampleRate * 1920.0 / std::max(1, Teeth);
}

void HwChanSetup::Store(TextArchive& archive) const
{
    archive.BeginBlock(QStringLiteral("ch"));
    archive.WriteLine(QStringLiteral("On:%1").arg(On ? 1 : 0));
    archive.WriteLine(QStringLiteral("Range:%1").arg(Range));
    archive.WriteLine(QStringLiteral("Input:%1").arg(Input));
    archive.WriteLine(QStringLiteral("Cpl:%1").arg(Cpl));
    archive.WriteLine(QStringLiteral("Filter:%1").arg(Filter));
    archive.WriteLine(QStringLiteral("Unit:") + Unit);
    archive.WriteLine(QStringLiteral("a:") + a);
    archive.WriteLine(QStringLiteral("atV:") + atV);
    archive.WriteLine(QStringLiteral("b:") + b);
    archive.WriteLine(QStringLiteral("Name:") + Name);
    archive.WriteLine(QStringLiteral("CntAcr:%1").arg(CntAcr));
    archive.WriteLine(QStringLiteral("Teeth:%1").arg(Teeth));
    archive.WriteLine(QStringLiteral("MicPolVolt:%1").arg(MicPolVolt));
    archive.WriteLine(QStringLiteral("MicPwr:%1").arg(MicPwr));
    archive.EndBlock();
}

void HwChanSetup::Load(TextArchive& archive)
{
    selected = false;
    struct IntKey {
        const char* key;
        int* field;
    };
    const IntKey intKeys[] = {{"Range:", &Range},   {"Input:", &Input},           {"Cpl:", &Cpl},
                              {"Filter:", &Filter}, {"CntAcr:", &CntAcr},         {"Teeth:", &Teeth},
                              {"MicPolVolt:", &MicPolVolt}, {"MicPwr:", &MicPwr}};
    struct TextKey {
        const char* key;
        QString* field;
    };
    const TextKey textKeys[] = {{"Unit:", &Unit}, {"atV:", &atV}, {"a:", &a}, {"b:", &b}, {"Name:", &Name}};

    QString line;
    QString value;
    while (archive.ReadLine(line) && !TextArchive::IsBlockEnd(line)) {
        if (TextArchive::MatchKey(line, QStringLiteral("On:"), &value)) {
            On = TextToInt(value) != 0;
            continue;
        }
        bool matched = false;
        for (const IntKey& k : intKeys) {
            if (TextArchive::MatchKey(line, QLatin1String(k.key), &value)) {
                *k.field = TextToInt(value);
                matched = true;
                break;
            }
        }
        if (matched)
            continue;
        for (const TextKey& k : textKeys) {
            if (TextArchive::MatchKey(line, QLatin1String(k.key), &value)) {
                *k.field = value;
                break;
            }
        }
    }
}
