#pragma once
// Where the record-based views find their samples in the captured record:
// the segment layout of the main bar's points, hop and averages, the array
// of a channel, and the record's sample interval. UI thread only.

#include "analysis/segmentlayout.h"

struct AnalysisRecord;

namespace RecordLayout {

// The sample interval of the record, seconds: the capture's own, else that
// of channel 0 of the channel buffer service; 0 when neither is known.
double SampleInterval(const AnalysisRecord& record);

// The segments of the record (SegmentCount applied), with its start offset.
SegmentLayout Segments(const AnalysisRecord& record);

// True when the record holds its segments: otherwise a view keeps its
// traces as they are.
bool Analysable(const AnalysisRecord& record);

// The captured samples of a channel index, null for an unset (-1) or
// missing channel.
const float* Channel(const AnalysisRecord& record, int channel);

} // namespace RecordLayout
