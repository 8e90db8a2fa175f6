#pragma once
// What a record-based view's analysis reads, copied on the user-interface
// thread when the analysis is asked for: the record snapshot, the main
// bar's points, hop and averages, and the channels of the two slots. A job
// holds it by value, so the analysis never reaches back into the view or
// the main window. Any thread may read it.

#include "analysis/segmentlayout.h"
#include "context/capturerecord.h"

#include <array>
#include <memory>
#include <string>
#include <string_view>

struct AnalysisInput {
    std::shared_ptr<const CaptureRecord> record;
    int points = 0;
    int hop = 0;
    int averages = 0;
    std::array<int, 2> channels{-1, -1}; // per slot; -1 for "nc"

    // The segments of the record (SegmentCount applied), with its start offset.
    SegmentLayout Segments() const;
    // True when the record holds its segments: otherwise a view keeps its
    // traces as they are.
    bool Analysable() const;
    // Why a record is not analysable, as the view writes it in its plot
    // ("record 10240 samples < 16384 points — raise XDv or lower Pts");
    // empty when it is, or when there is no record to speak of. UTF-8.
    std::string Shortfall() const;
    // The samples of the channel chosen for a slot; null for "nc" or a
    // channel the record lacks.
    const float* Samples(int slot) const;
    // The unit of the channel chosen for a slot, empty without one.
    std::string_view Unit(int slot) const;
};
