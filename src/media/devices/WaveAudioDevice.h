#pragma once

#include "media/devices/AudioPlaybackDevice.h"
#include "media/devices/RecordedSound.h"
#include "media/input/AudioCaptureFactory.h"

#include <thread>

namespace zyr::media {

class AudioRecorder;
class EditedAudioSource;

// The "WaveAudio" device: a sound file (RIFF WAVE in its common encodings, and any audio-only
// file FFmpeg decodes) played through the kit's audio sink, and recorded into from the default
// input. A recording goes into the sound in memory, inserted at the position where it started,
// in the sound's own format; the file is never written, and the recording goes with the device.
//
// Threads. UI thread, like every MediaDevice. Whether an input exists is asked on a thread of
// its own at open (starting the audio subsystem may take a while), and Record is offered once
// the answer is in (capabilitiesChanged()).
class WaveAudioDevice : public AudioPlaybackDevice {
    Q_OBJECT
public:
    WaveAudioDevice(AudioSinkFactory sinks, AudioCaptureFactory captures,
                    QObject *parent = nullptr);
    ~WaveAudioDevice() override;

    Result<void> open(const QString &fileName) override;
    Result<void> play() override;
    Result<void> pause() override;
    Result<void> stop() override;
    Result<void> seek(std::int64_t positionMs) override;
    Result<void> record() override;
    std::int64_t lengthMs() const override;
    std::int64_t positionMs() const override;
    DeviceCapabilities capabilities() const override;

protected:
    Result<std::unique_ptr<AudioSource>> openSource(const QString &fileName) override;

private:
    // Starts a recording at source frame `at`, held when `paused`.
    void startRecording(std::int64_t at, bool paused);
    // Ends the recording, if any, and puts what it recorded into the sound.
    void finishRecording();
    void askForInput();

    AudioCaptureFactory m_captures;
    bool m_inputAvailable = false;
    std::thread m_inputQuestion;

    // The open sound, owned by the playback and changed only on its worker (through edit()).
    EditedAudioSource *m_sound = nullptr;
    RecordedSound::Storage m_storage = RecordedSound::Storage::Float;

    AudioRecorder *m_recorder = nullptr; // a child while recording
    bool m_recordingPaused = false;
    std::int64_t m_recordAt = 0; // source frame where the recording goes in
};

} // namespace zyr::media
