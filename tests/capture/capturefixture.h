#pragma once
// What the capture engine tests share: channels written from this process
// into a private channel buffer namespace, and an engine reading them as
// the time client, its records counted or checked as they are published.

#include "capture/captureengine.h"
#include "context/appcontext.h"
#include "context/channelsource.h"
#include "context/readerclients.h"
#include "support/testenvironment.h"
#include "zq.h"

#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

// Channels 0 … count-1 at one sample interval, written from this process.
inline void Define(int count, double dt)
{
    ZQ_SetNrOfChan(count);
    for (int i = 0; i < count; ++i) {
        const QByteArray number = QByteArray::number(i + 1);
        ZQ_SetChanDef(i, i + 1, number.constData(), ("In " + number).constData(), "V", "+", dt, -10, 10, -99, 99,
                      0);
    }
    ASSERT_EQ(ZQ_GetNrOfChan(), count);
    // The client takes the samples written from here on.
    ZQ_ResetBuffer(kTimeClient, -1);
    ZQ_FreezeBuffers(kTimeClient);
}

class CaptureEngineTest : public testing::Test {
protected:
    void SetUp() override
    {
        ResetContext();
        engine.OnRecord([this](const std::shared_ptr<const CaptureRecord>& record) {
            ++notified;
            if (onRecord)
                onRecord(*record);
            else
                records.push_back(record);
        });
    }
    void TearDown() override { ZQ_ReleaseWriter(); }

    // Ten divisions of perDivision seconds, percent before the trigger.
    void TimeBase(double perDivision, int percent = 0)
    {
        settings.timePerDivision = perDivision;
        settings.triggerPercent = percent;
    }
    // Trigger "Level" with a band level ± window.
    void LevelTrigger(int slope, double level, double window)
    {
        settings.trigger = CaptureSettings::TriggerLevel;
        settings.slope = slope;
        settings.level = level;
        settings.halfWindow = window;
    }
    // Takes the settings without new samples.
    void Apply()
    {
        ZQ_FreezeBuffers(kTimeClient);
        engine.Tick(settings, false);
    }
    // Writes frames (channel 0 from values, channel 1 the running sample
    // number), freezes the client and runs one tick.
    void Block(const std::vector<float>& values)
    {
        std::vector<float> frames;
        for (float v : values) {
            frames.push_back(v);
            frames.push_back(float(m_written++));
        }
        ZQ_WriteFrames(frames.data(), int(values.size()));
        ZQ_FreezeBuffers(kTimeClient);
        const bool wasSingle = single;
        if (engine.Tick(settings, single) > 0 && wasSingle)
            single = false;
    }
    std::vector<float> Capture(int channel) const
    {
        const CaptureRecord& r = *engine.Latest();
        return std::vector<float>(r.samples[size_t(channel)].begin(), r.samples[size_t(channel)].end());
    }

    TestEnvironment env;
    CCaptureEngine engine{Channels(), kTimeClient};
    CaptureSettings settings;
    bool single = false;
    int notified = 0;
    std::vector<std::shared_ptr<const CaptureRecord>> records;
    // When set, records are checked as they come instead of kept.
    std::function<void(const CaptureRecord&)> onRecord;
    long m_written = 0;
};

