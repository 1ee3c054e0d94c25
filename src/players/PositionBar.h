#pragma once
// The players' position bars hold 16-bit values. A medium up to 32767 units long is shown as
// it is; a longer one is scaled onto 0..32767, so that nothing overflows and the thumb still
// follows the whole medium.

#include <QScrollBar>

#include <algorithm>
#include <cstdint>

namespace zyr {

inline constexpr std::int32_t kPositionBarMax = 32767;

// The bar's maximum for a medium of `length`.
inline int positionBarMaximum(std::int32_t length)
{
    return static_cast<int>(std::clamp<std::int32_t>(length, 0, kPositionBarMax));
}

// The bar's value for `position` on a medium of `length`.
inline int positionBarValue(std::int32_t position, std::int32_t length)
{
    if (length <= kPositionBarMax)
        return static_cast<int>(std::clamp<std::int32_t>(position, 0, std::max(0, length)));
    const std::int64_t scaled =
        std::int64_t(std::clamp(position, 0, length)) * kPositionBarMax / length;
    return static_cast<int>(scaled);
}

} // namespace zyr
