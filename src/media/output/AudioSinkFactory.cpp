#include "media/output/AudioSinkFactory.h"

#include "media/output/FallbackAudioSink.h"
#include "media/output/SdlAudioSink.h"
#include "media/output/SilentAudioSink.h"

#include <vector>

namespace zyr::media {

AudioSinkFactory defaultAudioSinkFactory()
{
    return [] {
        // Tried in order at each open; the silent sink cannot fail for a valid format.
        std::vector<AudioSinkFactory> outputs{
            [] { return std::make_unique<SdlAudioSink>(); },
            [] { return std::make_unique<SilentAudioSink>(); },
        };
        return std::make_unique<FallbackAudioSink>(std::move(outputs));
    };
}

} // namespace zyr::media
