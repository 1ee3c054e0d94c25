#pragma once

#include "media/devices/AudioPlaybackDevice.h"

namespace zyr::media {

// The "Sequencer" device: a Standard MIDI File (format 0 or 1) synthesized with the system's
// General MIDI SoundFont and played through the kit's audio sink. Its length is the time of
// the file's last event.
class SequencerDevice : public AudioPlaybackDevice {
    Q_OBJECT
public:
    explicit SequencerDevice(AudioSinkFactory sinks, QObject *parent = nullptr);

    bool isReadyToOpen() const override;

protected:
    Result<std::unique_ptr<AudioSource>> openSource(const QString &fileName) override;
};

} // namespace zyr::media
