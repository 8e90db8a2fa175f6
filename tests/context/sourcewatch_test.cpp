// What the watch of the channels' writer makes of successive looks.
#include "context/sourcewatch.h"

#include <gtest/gtest.h>

namespace {

using Change = SourceWatch::Change;
using State = ChannelSource::WriterState;

TEST(SourceWatch, EndedReplacedAndResumedFromSuccessiveLooks)
{
    const State writer{true, 100, 2}, gone{false, 0, 0};
    SourceWatch watch;
    EXPECT_EQ(watch.Observe(writer, 0.0), Change::None); // the first look takes note only
    EXPECT_EQ(watch.Observe(writer, 0.1), Change::None);
    EXPECT_EQ(watch.Observe(gone, 1.0), Change::Ended);
    EXPECT_TRUE(watch.Ended());
    EXPECT_EQ(watch.Observe(gone, 13.7), Change::None); // said once
    EXPECT_EQ(watch.SecondsSinceEnd(13.7), 12);
    // A writer whose heartbeat came back: the same definition goes on.
    EXPECT_EQ(watch.Observe(writer, 14.0), Change::Resumed);
    EXPECT_FALSE(watch.Ended());
    EXPECT_EQ(watch.SecondsSinceEnd(20.0), 0);
    // Another process, or the same one defining anew.
    EXPECT_EQ(watch.Observe(State{true, 200, 2}, 15.0), Change::Replaced);
    EXPECT_EQ(watch.Observe(State{true, 200, 4}, 16.0), Change::Replaced);
    EXPECT_EQ(watch.Observe(gone, 17.0), Change::Ended);
    EXPECT_EQ(watch.Observe(State{true, 300, 2}, 18.0), Change::Replaced);
    EXPECT_FALSE(watch.Ended());
}

TEST(SourceWatch, AWriterAppearingAfterNoneReplacesNothingButIsNews)
{
    SourceWatch watch;
    EXPECT_EQ(watch.Observe(State{}, 0.0), Change::None);
    EXPECT_EQ(watch.Observe(State{}, 5.0), Change::None); // nothing ever delivered: nothing ended
    EXPECT_FALSE(watch.Ended());
    EXPECT_EQ(watch.Observe(State{true, 100, 2}, 6.0), Change::Replaced);
}

} // namespace
