#pragma once

#include "media/devices/AudioPlaybackDevice.h"

namespace zyr::media {

// The "WaveAudio" device: a sound file (RIFF WAVE in its common encodings, and any audio-only
// file FFmpeg decodes) played through the kit's audio sink.
class WaveAudioDevice : public AudioPlaybackDevice {
    Q_OBJECT
public:
    using AudioPlaybackDevice::AudioPlaybackDevice;

protected:
    Result<std::unique_ptr<AudioSource>> openSource(const QString &fileName) override;
};

} // namespace zyr::media
