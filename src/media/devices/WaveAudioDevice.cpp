#include "media/devices/WaveAudioDevice.h"

#include "media/devices/AudioRecorder.h"
#include "media/devices/EditedAudioSource.h"
#include "media/devices/FfmpegAudioDecoder.h"
#include "media/devices/FfmpegAudioSource.h"

namespace zyr::media {

WaveAudioDevice::WaveAudioDevice(AudioSinkFactory sinks, AudioCaptureFactory captures,
                                 QObject *parent)
    : AudioPlaybackDevice(std::move(sinks), parent), m_captures(std::move(captures))
{
}

WaveAudioDevice::~WaveAudioDevice()
{
    // The answer's queued call dies with this object; the thread must be done before it does.
    if (m_inputQuestion.joinable())
        m_inputQuestion.join();
}

Result<std::unique_ptr<AudioSource>> WaveAudioDevice::openSource(const QString &fileName)
{
    Result<std::unique_ptr<FfmpegAudioDecoder>> decoder = FfmpegAudioDecoder::open(fileName);
    if (!decoder.ok())
        return decoder.error();
    m_storage = RecordedSound::storageFor(decoder.value()->sourceBitsPerSample());
    auto sound = std::make_unique<EditedAudioSource>(
        std::make_unique<FfmpegAudioSource>(std::move(decoder).value()));
    m_sound = sound.get();
    return std::unique_ptr<AudioSource>(std::move(sound));
}

Result<void> WaveAudioDevice::open(const QString &fileName)
{
    // Another file drops the recording, with the sound it went into.
    if (m_recorder) {
        delete m_recorder;
        m_recorder = nullptr;
    }
    m_sound = nullptr;
    const Result<void> opened = AudioPlaybackDevice::open(fileName);
    if (!opened.ok()) {
        m_sound = nullptr;
        return opened.error();
    }
    askForInput();
    return {};
}

void WaveAudioDevice::askForInput()
{
    if (!m_captures)
        return;
    if (m_inputQuestion.joinable())
        m_inputQuestion.join();
    m_inputQuestion = std::thread([this, available = m_captures.available] {
        const bool answer = available();
        QMetaObject::invokeMethod(
            this,
            [this, answer] {
                m_inputAvailable = answer;
                emit capabilitiesChanged();
            },
            Qt::QueuedConnection);
    });
}

DeviceCapabilities WaveAudioDevice::capabilities() const
{
    DeviceCapabilities can;
    can.canRecord = m_inputAvailable && playback() != nullptr;
    return can;
}

Result<void> WaveAudioDevice::record()
{
    if (!playback())
        return makeError(ErrorKind::NoDevice, QStringLiteral("No sound is open."));
    if (!m_captures || !m_inputAvailable)
        return makeError(ErrorKind::DeviceUnavailable,
                         QStringLiteral("There is no sound input to record from."));
    if (m_recorder) {
        // Recording already, or held: go on.
        m_recorder->setPaused(false);
        m_recordingPaused = false;
        return {};
    }
    // A playback stops where it is; the recording goes in there.
    const std::int64_t here = playback()->positionFrames();
    playback()->stop();
    startRecording(here, false);
    return {};
}

void WaveAudioDevice::startRecording(std::int64_t at, bool paused)
{
    std::unique_ptr<AudioCapture> capture = m_captures.make();
    m_recordAt = at;
    m_recordingPaused = paused;
    m_recorder = new AudioRecorder(std::move(capture), m_sound->sourceFormat(), m_storage, this);
    if (paused)
        m_recorder->setPaused(true);
    connect(m_recorder, &AudioRecorder::failed, this, [this](const MediaError &error) {
        // What was recorded before the input failed stays in the sound.
        finishRecording();
        emit playbackFailed(error);
    });
}

void WaveAudioDevice::finishRecording()
{
    if (!m_recorder)
        return;
    std::shared_ptr<const RecordedSound> recording = m_recorder->finish();
    // A failure it reported before it finished belongs to a recording that has ended now.
    disconnect(m_recorder, nullptr, this, nullptr);
    // It may be emitting failed() right now: it goes once control returns to the event loop.
    m_recorder->deleteLater();
    m_recorder = nullptr;
    const std::int64_t frames = recording->frames();
    if (frames == 0)
        return;
    EditedAudioSource *sound = m_sound;
    const std::int64_t at = m_recordAt;
    playback()->edit([sound, at, recording] { return sound->insert(at, recording); },
                     playback()->lengthFrames() + frames, at + frames);
}

Result<void> WaveAudioDevice::play()
{
    finishRecording();
    return AudioPlaybackDevice::play();
}

Result<void> WaveAudioDevice::pause()
{
    if (m_recorder) {
        m_recorder->setPaused(true);
        m_recordingPaused = true;
        return {};
    }
    return AudioPlaybackDevice::pause();
}

Result<void> WaveAudioDevice::stop()
{
    if (m_recorder) {
        finishRecording();
        return {};
    }
    return AudioPlaybackDevice::stop();
}

Result<void> WaveAudioDevice::seek(std::int64_t positionMs)
{
    if (!m_recorder)
        return AudioPlaybackDevice::seek(positionMs);
    // The recording so far goes in; a new one starts at the new place, held if this one was.
    const bool paused = m_recordingPaused;
    finishRecording();
    AudioPlaybackDevice::seek(positionMs);
    startRecording(playback()->positionFrames(), paused);
    return {};
}

std::int64_t WaveAudioDevice::lengthMs() const
{
    if (!m_recorder)
        return AudioPlaybackDevice::lengthMs();
    return framesToMs(playback()->lengthFrames() + m_recorder->framesRecorded());
}

std::int64_t WaveAudioDevice::positionMs() const
{
    if (!m_recorder)
        return AudioPlaybackDevice::positionMs();
    return framesToMs(m_recordAt + m_recorder->framesRecorded());
}

} // namespace zyr::media
