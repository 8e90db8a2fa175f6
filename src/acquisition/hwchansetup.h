#pragma once
// The setup of one recorder module channel, as the channel setup dialogs
// edit it and the settings sets store it. The numbers a, atV and b stay the
// text the user typed; they are converted when the setup is applied.

#include <QString>

class TextArchive;

struct HwChanSetup {
    bool selected = false; // marked in the setup dialog; cleared on load
    bool On = false;
    int Range = 0;         // index into the model's range table
    int Input = 0;         // 1: pulse (rpm) input on a pulse-capable channel
    int Cpl = 0;
    int Filter = 0;
    int MicPolVolt = 0;
    int MicPwr = 0;
    QString Unit = QStringLiteral("V");
    QString a = QStringLiteral("1");   // physical value at atV volts
    QString atV = QStringLiteral("1");
    QString b = QStringLiteral("0");   // physical value at 0 V
    QString Name;                      // empty: the model's default name
    int CntAcr = 1;                    // rising edges per measured period
    QString percentText;
    QString usecText;
    int Teeth = 1;                     // pulses per revolution

    // Physical units per volt, a / atV; when atV reads as 0 both count as 1.
    double Gain() const;
    // Physical value at 0 V, b.
    double Offset() const;
    // The pulse factor of a pulse input at sampleRate: CntAcr × sampleRate
    // × 1920 / Teeth (32 line samples a sample × 60 s a minute), so that
    // factor / period in line samples is revolutions per minute. Teeth
    // below 1 count as 1.
    double PulseFactor(int sampleRate) const;
    // The leading decimal number of a text, 0 if there is none; the decimal
    // separator is always '.', whatever the locale.
    static double TextToDouble(const QString& text);
    // The leading decimal number of a text; 0 when there is none or when it
    // does not fit an int (a damaged file must not wrap into another value).
    static int TextToInt(const QString& text);

    // Writes "ch {", the keyed lines and "}".
    void Store(TextArchive& archive) const;
    // Reads the lines after "ch {" up to and including the closing "}";
    // keys in any order, unknown lines skipped, missing keys keep their value.
    void Load(TextArchive& archive);
};
