#pragma once
// A record-based view on its own page stand-in: the view is made, placed
// beside its panel and shown; the test sets the captured record (channel
// arrays, sample interval, points, hop, averages) and the main bar's two
// channel choices, and drives the view through Analyse and its panel.

#include "context/appcontext.h"
#include "platform/appmessage.h"
#include "platform/textarchive.h"
#include "support/testenvironment.h"
#include "support/stubmainframe.h"
#include "views/paneldlg.h"
#include "widgets/selectorbutton.h"
#include "zq.h"

#include <QApplication>
#include <QTest>
#include <QWheelEvent>
#include <gtest/gtest.h>
#include <memory>
#include <numbers>
#include <vector>

template <class View>
class RecordViewTest : public testing::Test {
protected:
    void SetUp() override
    {
        ResetContext();
        frame.window.resize(1000, 600);
        view = std::make_unique<View>(&frame, &frame.window);
        view->Create();
        view->setGeometry(Ctx().panelWidth, 0, 1000 - Ctx().panelWidth, 572);
        frame.window.show();
        view->Show(true);
    }
    void TearDown() override
    {
        view.reset();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        ZQ_ReleaseWriter();
    }

    // Channels 0 and 1 of the record hold a and b (b may be empty); slot 0
    // shows channel 0, slot 1 channel 1.
    void SetRecord(std::vector<float> a, std::vector<float> b, double dt, int points, int hop, int averages = 0,
                   int start = 0)
    {
        samples[0] = std::move(a);
        samples[1] = std::move(b);
        std::vector<std::vector<float>> channels{samples[0]};
        if (!samples[1].empty())
            channels.push_back(samples[1]);
        frame.SetCapture(std::move(channels), dt, start);
        AnalysisRecord& r = frame.record;
        r.points = points;
        r.hop = hop;
        r.averages = averages;
        frame.channels = {0, samples[1].empty() ? -1 : 1};
    }

    // Two named channels in the channel buffer service, for the legends.
    void DefineChannels(double dt)
    {
        ZQ_SetNrOfChan(2);
        ZQ_SetChanDef(0, 1, "1", "In 1", "V", "+", dt, -10, 10, -99, 99, 0);
        ZQ_SetChanDef(1, 2, "2", "In 2", "V", "+", dt, -10, 10, -99, 99, 0);
        ZQ_GetNrOfChan();
    }

    CSelectorButton& Sel(int id) { return *static_cast<CPanelDlg*>(view->Panel())->Selector(id); }
    // One wheel notch over a selector (up: toward later items), then the
    // posted notifications reach the view.
    void Turn(int id, int notches)
    {
        CSelectorButton& selector = Sel(id);
        const QPoint at = selector.rect().center();
        QWheelEvent wheel(QPointF(at), QPointF(selector.mapToGlobal(at)), QPoint(), QPoint(0, 120 * notches),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&selector, &wheel);
        QApplication::sendPostedEvents();
    }
    // The keys of the panel's settings lines, in the order it writes them.
    QStringList StoredKeys()
    {
        QByteArray bytes;
        TextArchive store;
        store.OpenBuffer(&bytes, TextArchive::Mode::Store);
        static_cast<CPanelDlg*>(view->Panel())->SerializePanel(store);
        store.Close();
        QStringList keys;
        for (const QByteArray& line : bytes.split('\n'))
            if (!line.isEmpty())
                keys << QString::fromLatin1(line.left(line.indexOf(':') + 1));
        return keys;
    }
    // The index of the largest value.
    static int MaxIndex(const float* values, int count)
    {
        int best = 0;
        for (int i = 1; i < count; ++i)
            if (values[i] > values[best])
                best = i;
        return best;
    }

    TestEnvironment env;
    StubMainFrame frame;
    std::vector<float> samples[2];
    std::unique_ptr<View> view;
};
