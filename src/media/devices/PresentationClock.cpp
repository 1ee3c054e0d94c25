#include "media/devices/PresentationClock.h"

#include <chrono>

namespace zyr::media {

PresentationClock::PresentationClock(MonotonicClock wall) : m_wall(std::move(wall)) {}

std::int64_t PresentationClock::now(std::int64_t soundMs, bool running)
{
    const std::int64_t wall =
        std::chrono::duration_cast<std::chrono::milliseconds>(m_wall().time_since_epoch()).count();
    const std::int64_t predicted = m_anchorMs + (wall - m_anchorWall);
    const bool restart = !running || !m_anchored || soundMs > predicted ||
                         soundMs < m_lastSoundMs || wall - m_anchorWall > kAnchorLifeMs;
    if (restart) {
        m_anchorMs = soundMs;
        m_anchorWall = wall;
    } else if (predicted > soundMs + kMaxLeadMs) {
        // The sound stalls, or runs slow: wait for it.
        m_anchorMs = soundMs + kMaxLeadMs;
        m_anchorWall = wall;
    }
    m_anchored = running;
    m_lastSoundMs = soundMs;
    return m_anchorMs + (wall - m_anchorWall);
}

} // namespace zyr::media
