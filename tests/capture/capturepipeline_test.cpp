// Records analysed on workers while the capture engine fills the next
// ones from its pool of records; run under ThreadSanitizer as well (kept
// apart from the tests that start other programs, whose start-up the
// sanitizer cannot follow).
#include "capturefixture.h"

#include "capture/analysislane.h"
#include "capture/analysispool.h"
#include "support/waituntil.h"

#include <utility>

namespace {

// Records analysed on workers while the engine fills the next ones from
// its pool: a record a worker reads is never one the engine writes into
// (each analysis sees one record's counter run), and the last record
// published is the last one analysed.
TEST_F(CaptureEngineTest, PublishedRecordsStayWholeWhileWorkersReadThem)
{
    Define(2, 1e-4);
    TimeBase(0.001); // 100 samples
    Apply();
    AnalysisPool pool(2);
    AnalysisLane<std::pair<std::uint64_t, bool>> lane(pool); // (sequence, whole)
    std::uint64_t lastSequence = 0, lastTaken = 0;
    int taken = 0;
    auto take = [&] {
        AnalysisTag tag;
        if (auto result = lane.Take(tag)) {
            EXPECT_TRUE(result->second) << "record " << result->first;
            lastTaken = result->first;
            ++taken;
            lane.Recycle(std::move(result));
        }
    };
    onRecord = [&](const CaptureRecord&) {
        std::shared_ptr<const CaptureRecord> record = engine.Latest();
        lastSequence = record->sequence;
        lane.Request({record->sequence, 0}, [record](std::pair<std::uint64_t, bool>& out) {
            const std::vector<float>& numbers = record->samples[1];
            bool whole = record->length == 100;
            for (int i = 1; i < record->length; ++i)
                whole = whole && numbers[size_t(i)] == numbers[0] + float(i);
            out = {record->sequence, whole};
        });
    };
    for (int block = 0; block < 300; ++block) {
        Block(std::vector<float>(130, 0.0f));
        take();
    }
    ASSERT_TRUE(WaitUntil([&] {
        take();
        return lastTaken == lastSequence;
    }));
    EXPECT_EQ(lastSequence, 390u); // 300 × 130 samples, 100 a record
    EXPECT_GT(taken, 0);
}

} // namespace
