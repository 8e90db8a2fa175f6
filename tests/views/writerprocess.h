#pragma once
// The test writer as a child process: starts it with its channels, waits
// until they are defined, and writes blocks of samples on request.

#include <QProcess>
#include <QString>

class WriterProcess {
public:
    WriterProcess(int channels, double rate, const QString& unit = QStringLiteral("Pa"));
    ~WriterProcess();

    bool Ready() const { return m_ready; }
    // Each returns once the samples are in the service.
    bool Sine(double frequency, double peak, int count);
    bool Noise(double rms, int count);
    bool Zero(int count);

private:
    bool Command(const QByteArray& line);

    QProcess m_process;
    bool m_ready = false;
};
