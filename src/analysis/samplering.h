#pragma once
// Ring of float samples with a write position and a wrapped flag, as the
// capture and the multimeter keep one per channel. Not thread-safe: the
// owner's thread only.

#include <span>
#include <vector>

class SampleRing {
public:
    // Gives the ring `capacity` samples (allocates) and empties it.
    void SetCapacity(int capacity);
    void Clear();

    int Capacity() const { return static_cast<int>(m_data.size()); }
    int WritePosition() const { return m_position; }
    bool Wrapped() const { return m_wrapped; }
    // Valid samples: the capacity once wrapped, else the write position.
    int ValidCount() const { return m_wrapped ? Capacity() : m_position; }

    // Appends k samples. More than the capacity keeps only the last
    // `capacity` of them, stored from position 0, and leaves the ring wrapped
    // at position 0. Otherwise samples run to the end and continue at 0; the
    // position returns to 0 (wrapped set) when it reaches the end.
    void Append(const float* samples, int k);

    // The last k samples (k is capped at ValidCount()) as at most two pieces
    // in time order, oldest first; `second` may be empty.
    struct Pieces {
        std::span<const float> first;
        std::span<const float> second;
    };
    Pieces Last(int k) const;

    // Copies the last k samples, oldest first, into out; returns how many
    // were copied (k capped at ValidCount()).
    int ReadLast(int k, float* out) const;

    // The newest sample; 0 when empty.
    float Newest() const;

private:
    std::vector<float> m_data;
    int m_position = 0;
    bool m_wrapped = false;
};
