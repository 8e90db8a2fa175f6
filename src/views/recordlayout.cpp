#include "views/recordlayout.h"

#include "context/analysisrecord.h"
#include "zq.h"

namespace RecordLayout {

double SampleInterval(const AnalysisRecord& record)
{
    if (record.captureTime > 0.0)
        return record.captureTime;
    return ZQ_GetNrOfChan() > 0 ? ZQ_GetChanClkrate(0) : 0.0;
}

SegmentLayout Segments(const AnalysisRecord& record)
{
    return MakeSegmentLayout(record.captureLength, record.captureWord, record.points, record.hop, record.averages,
                             SampleInterval(record));
}

bool Analysable(const AnalysisRecord& record)
{
    const SegmentLayout layout = Segments(record);
    return record.captureLength > 0 && layout.points >= 2 && layout.dt > 0.0 && RecordHoldsSegments(layout);
}

const float* Channel(const AnalysisRecord& record, int channel)
{
    if (channel < 0 || channel >= record.captureChannels || channel >= AnalysisRecord::kMaxCaptureChannels)
        return nullptr;
    return record.captureArea[channel];
}

} // namespace RecordLayout
