#pragma once
// The design-time settings of a media device control, read from its 96-byte persisted block.

#include "media/core/Result.h"

#include <QByteArray>

#include <cstdint>

namespace zyr::media {

struct MediaControlSettings {
    static constexpr qsizetype kBlockSize = 96;

    std::uint32_t extentWidthHimetric = 0;
    std::uint32_t extentHeightHimetric = 0;
    std::int16_t updateInterval = 1000; // milliseconds between status updates

    // The settings in `block`; a block of another size, or whose fixed fields (signatures,
    // counts, padding) are not as written by the designer, is refused with CorruptMedia.
    static Result<MediaControlSettings> fromPersisted(const QByteArray &block);

    // The block for these settings with bytes 80 and 81 as given: what a design holds.
    static QByteArray toPersisted(std::uint32_t widthHimetric, std::uint32_t heightHimetric,
                                  std::uint16_t updateInterval, std::uint16_t bytes80);
};

} // namespace zyr::media
