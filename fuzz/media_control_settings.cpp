// Fuzz target: the media device control's 96-byte persisted block
// (MediaControlSettings::fromPersisted).
//
// Promises checked besides the sanitizers:
//   - a block is accepted only at 96 bytes, and an accepted block is exactly what toPersisted()
//     writes for the settings read from it and its flag bytes at 80: nothing in it is ignored;
//   - the update interval read is 0..32767 milliseconds;
//   - a refused block is CorruptMedia with a message;
//   - whatever toPersisted() writes for an interval 0..32767 and flags 0 or FFFF reads back as
//     the same settings (the writer's half of the round trip, with values from the input).

#include "FuzzCheck.h"

#include "media/MediaControlSettings.h"
#include "media/PersistedBlock.h"

using zyr::fuzz::FuzzInput;
using zyr::media::ErrorKind;
using zyr::media::MediaControlSettings;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const auto settings = MediaControlSettings::fromPersisted(bytes);
    if (settings.ok()) {
        const MediaControlSettings &s = settings.value();
        ZYR_FUZZ_CHECK(bytes.size() == MediaControlSettings::kBlockSize);
        ZYR_FUZZ_CHECK(s.updateInterval >= 0);
        const std::uint16_t flags = *zyr::media::PersistedBlock(bytes).u16(80);
        ZYR_FUZZ_CHECK(
            MediaControlSettings::toPersisted(s.extentWidthHimetric, s.extentHeightHimetric,
                                              std::uint16_t(s.updateInterval), flags) == bytes);
    } else {
        ZYR_FUZZ_CHECK(settings.error().kind == ErrorKind::CorruptMedia);
        ZYR_FUZZ_CHECK(!settings.error().message.isEmpty());
    }

    FuzzInput in(data, size);
    const std::uint32_t width = in.u32();
    const std::uint32_t height = in.u32();
    const auto interval = static_cast<std::uint16_t>(in.u16() & 0x7FFF);
    const std::uint16_t flags = in.flag() ? 0xFFFF : 0;
    const QByteArray written = MediaControlSettings::toPersisted(width, height, interval, flags);
    const auto reread = MediaControlSettings::fromPersisted(written);
    ZYR_FUZZ_CHECK(reread.ok());
    ZYR_FUZZ_CHECK(reread.value().extentWidthHimetric == width);
    ZYR_FUZZ_CHECK(reread.value().extentHeightHimetric == height);
    ZYR_FUZZ_CHECK(reread.value().updateInterval == interval);
    return 0;
}
