#pragma once
// What one analysis of a view leaves for drawing: the display arrays and
// how to read them. A job fills it on a worker from a record snapshot and a
// copy of the view's settings; the view adopts it on the user-interface
// thread by swapping the arrays in, so adopting costs no copy and the
// arrays it gives back serve a later job.

#include <array>
#include <string>
#include <utility>
#include <vector>

struct ViewData {
    enum class Outcome {
        Unchanged,  // the record cannot give a result: the traces stay as they are
        HideTraces, // a channel the measurement needs is missing: both traces hidden
        Made,
        // The record cannot give a result and `notice` says why: the view
        // keeps its last result marked as stale, or without one shows its
        // empty plot (the axes of the slots in slotActive) with the reason.
        Unavailable,
    };
    static constexpr int kArrays = 4;

    Outcome outcome = Outcome::Unchanged;
    // Arrays 0, 1: the first quantity of slot 0, 1 (rows × pointCount
    // values); 2, 3: the second quantity where the view has one.
    std::array<std::vector<float>, kArrays> display;
    int pointCount = 0;
    int rows = 1;
    float xStep = 1.0f;
    double xStart = 0.0;
    std::array<bool, 2> slotActive{};
    // Unit texts per array (UTF-8), taken over where unitSet says so.
    std::array<std::string, kArrays> units;
    std::array<bool, kArrays> unitSet{};
    std::array<std::string, 2> slotNames; // channel names, where the view shows them
    bool levelsInDb = false;
    bool cascade = false;
    bool colourMap = false;
    int split = 0;
    int variant = 0; // the view's own: the display form or scale the arrays hold
    bool normed = false; // correlations: normalised to 1 at lag 0
    // One line the view writes into its plot (UTF-8): why there is no
    // result (Unavailable), or what a made result cannot tell (coherence of
    // a single average). Empty when there is nothing to say.
    std::string notice;

    // Grows arrays 0, 1 (and 2, 3 with second) to hold count values; what
    // they held is not kept when they grow, and they never shrink.
    void Size(int count, bool second)
    {
        for (int i = 0; i < (second ? kArrays : 2); ++i)
            if (display[size_t(i)].size() < size_t(count))
                display[size_t(i)].assign(size_t(count), 0.0f);
    }
    void SetUnit(int array, const std::string& text)
    {
        units[size_t(array)] = text;
        unitSet[size_t(array)] = true;
    }
    // No result, for the reason given (nothing when it is empty: the view
    // then stays as it is). slotActive says which slots would be shown.
    void Unavailable(std::string reason)
    {
        if (reason.empty())
            return;
        outcome = Outcome::Unavailable;
        notice = std::move(reason);
    }
    void Begin()
    {
        outcome = Outcome::Unchanged;
        notice.clear();
        unitSet = {};
        slotActive = {};
        rows = 1;
    }
};
