#pragma once
// What the spectrum view tests share: a private channel buffer namespace
// with channels of known units, a main window stand-in whose record the
// test fills with synthetic captures, and signal makers.

#include "context/analysisrecord.h"
#include "context/appcontext.h"
#include "platform/appmessage.h"
#include "support/testenvironment.h"
#include "views/graphwnd.h"
#include "support/stubmainframe.h"
#include "zq.h"

#include <QApplication>
#include <QWheelEvent>
#include <cmath>
#include <gtest/gtest.h>
#include <numbers>
#include <random>
#include <vector>

class SpectrumFixture : public testing::Test {
protected:
    static constexpr double kTwoPi = 2.0 * std::numbers::pi;

    void SetUp() override
    {
        ResetContext();
        m_frame.window.resize(1000, 600);
        m_frame.channels = {0, 1};
        DefineChannels({"V", "V"});
    }
    void TearDown() override
    {
        delete m_view;
        m_view = nullptr;
        ZQ_ReleaseWriter();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    // Channels 0 … n−1 named "In 1" …, with these units.
    static void DefineChannels(std::vector<const char*> units, double dt = 1.0 / 1024)
    {
        ZQ_SetNrOfChan(int(units.size()));
        for (size_t i = 0; i < units.size(); ++i) {
            const QByteArray number = QByteArray::number(qsizetype(i + 1));
            ZQ_SetChanDef(int(i), int(i + 1), number.constData(), ("In " + number).constData(), units[i], "+", dt,
                          -10, 10, -99, 99, 0);
        }
        ASSERT_EQ(ZQ_GetNrOfChan(), int(units.size()));
    }

    // Makes, creates and shows a view of type View on the stand-in window.
    template <class View> View* Make()
    {
        auto* view = new View(&m_frame, &m_frame.window);
        view->Create();
        view->setGeometry(150, 0, 850, 572);
        view->Show(true);
        m_frame.window.show();
        m_view = view;
        return view;
    }

    // The capture: channel arrays of equal length, sample interval dt, start
    // offset, transform length, hop and averages (0 "Auto").
    void Capture(std::vector<std::vector<float>> channels, double dt, int points, int hop, int averages, int start = 0)
    {
        m_channels = channels;
        m_frame.SetCapture(std::move(channels), dt, start);
        AnalysisRecord& r = m_frame.record;
        r.points = points;
        r.hop = hop;
        r.averages = averages;
    }

    // amplitude·cos(2π·f·n·dt + phase), n = 0 … length−1.
    static std::vector<float> Tone(int length, double dt, double f, double amplitude, double phase = 0.0)
    {
        std::vector<float> x(static_cast<size_t>(length));
        for (int n = 0; n < length; ++n)
            x[size_t(n)] = float(amplitude * std::cos(kTwoPi * f * n * dt + phase));
        return x;
    }
    // Gaussian noise of standard deviation sigma.
    static std::vector<float> Noise(int length, double sigma, unsigned seed)
    {
        std::mt19937 engine(seed);
        std::normal_distribution<double> normal(0.0, sigma);
        std::vector<float> x(static_cast<size_t>(length));
        for (float& v : x)
            v = float(normal(engine));
        return x;
    }
    // A tone of amplitude 1 on every bin 1 … N/2 − 1 of an N-point
    // transform, each with its own phase: periodic in N, so a delay of d
    // samples turns each bin's phase by −360°·k·d/N exactly.
    static std::vector<float> MultiTone(int length, int points, int delay = 0)
    {
        std::vector<double> phases(size_t(points / 2));
        std::mt19937 engine(7);
        std::uniform_real_distribution<double> uniform(-std::numbers::pi, std::numbers::pi);
        for (double& p : phases)
            p = uniform(engine);
        std::vector<float> x(static_cast<size_t>(length));
        for (int n = 0; n < length; ++n) {
            double sum = 0.0;
            for (int k = 1; k < points / 2; ++k)
                sum += std::cos(kTwoPi * k * double(n - delay) / points + phases[size_t(k)]);
            x[size_t(n)] = float(sum);
        }
        return x;
    }

public:
    static void WheelNotch(QWidget* widget, int delta = 120)
    {
        const QPoint pos = widget->rect().center();
        QWheelEvent event(QPointF(pos), QPointF(widget->mapToGlobal(pos)), QPoint(), QPoint(0, delta),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(widget, &event);
    }

protected:
    // Index of the largest of count values.
    static int MaxIndex(const float* values, int count)
    {
        int best = 0;
        for (int k = 1; k < count; ++k)
            if (values[k] > values[best])
                best = k;
        return best;
    }

    TestEnvironment m_env;
    StubMainFrame m_frame;
    CGraphWnd* m_view = nullptr;
    std::vector<std::vector<float>> m_channels;
};
