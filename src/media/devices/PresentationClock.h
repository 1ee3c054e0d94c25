#pragma once
// The clock a movie's pictures are shown by. The sound's clock, which the pictures follow,
// moves in steps: the output takes its sound one period at a time (some 10 to 50 ms). Between
// the steps this clock runs on with the wall clock, so that each picture can go up at its own
// time rather than at the next step. It takes the sound's clock as it is whenever that is
// ahead of it, moved back (a seek), or standing still; it never runs more than kMaxLeadMs
// ahead of it (a sound that stalls holds the pictures too), and it starts again from the
// sound's clock every kAnchorLifeMs, so that a sound running slightly slower than the wall
// clock does not leave it ahead for long.
//
// One thread (the UI thread); no locks. The wall clock is handed in, so tests can drive it.

#include "media/core/MonotonicClock.h"

#include <cstdint>

namespace zyr::media {

class PresentationClock {
public:
    // The longest output period the sinks use at common rates (1024 frames at 22050 Hz).
    static constexpr std::int64_t kMaxLeadMs = 50;
    static constexpr std::int64_t kAnchorLifeMs = 1000;

    explicit PresentationClock(MonotonicClock wall = steadyClock());

    // The clock now, given where the sound's clock stands and whether it runs.
    std::int64_t now(std::int64_t soundMs, bool running);

private:
    MonotonicClock m_wall;
    bool m_anchored = false;
    std::int64_t m_anchorMs = 0;   // the clock at m_anchorWall
    std::int64_t m_anchorWall = 0; // wall time of the anchor
    std::int64_t m_lastSoundMs = 0;
};

} // namespace zyr::media
