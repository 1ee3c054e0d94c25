#pragma once
// The "AVIVideo" device: a movie (AVI, and any container FFmpeg demuxes with a real video
// stream) shown in the device's own top-level window, its sound through the kit's audio sink.
//
// The sound is the clock: the movie plays as a sound fitted to the movie's length (silence for
// a movie without one), and the pictures follow it. Opening reads the headers only; the video
// worker opens the codec and decodes the first pictures, and the window appears with the first
// of them; a Play that comes before starts the sound once they are there. A movie whose first
// picture cannot be decoded opens, shows no window and fails its first play. The worker decodes
// pictures ahead; the UI thread shows each one when the presentation clock (the sound's clock,
// smoothed between its steps) reaches it, waking once a picture, and drops those that come too
// late, never the sound. Back and Step move by one picture and hold the movie there.
//
// Closing the window pauses the movie; Play shows it again. UI thread only.

#include "media/devices/AudioPlayback.h"
#include "media/devices/MediaDevice.h"
#include "media/devices/PresentationClock.h"
#include "media/devices/VideoFramePump.h"
#include "media/devices/VideoOutput.h"
#include "media/output/AudioSinkFactory.h"

#include <QTimer>

#include <optional>

namespace zyr::media {

class AviVideoDevice : public MediaDevice {
    Q_OBJECT
public:
    // A picture this close to its time is shown now: below a timer's slack.
    static constexpr std::int64_t kOnTimeMs = 2;
    // The shortest wait after a wake that showed nothing (the sound stalls): no busy polling.
    static constexpr int kRecheckMs = 5;

    AviVideoDevice(AudioSinkFactory sinks, VideoOutputFactory outputs, QObject *parent = nullptr);
    ~AviVideoDevice() override;

    Result<void> open(const QString &fileName) override;
    Result<void> play() override;
    Result<void> pause() override;
    Result<void> stop() override;
    Result<void> seek(std::int64_t positionMs) override;
    Result<void> step(int frames) override;
    std::int64_t lengthMs() const override { return m_lengthMs; }
    std::int64_t positionMs() const override;
    DeviceCapabilities capabilities() const override { return {true, false, false}; }

    // The picture shown last (its index), pictures shown and pictures dropped so far.
    std::int64_t shownFrame() const { return m_shownFrame; }
    std::int64_t picturesShown() const { return m_picturesShown; }
    std::int64_t droppedFrames() const { return m_pump ? m_pump->droppedFrames() : 0; }
    VideoOutput *output() const { return m_output.get(); }
    // Whether the UI thread has a picture to wait for: a timer set for the next one, or one
    // awaited from the worker while playing or after a seek or step.
    bool isPresenting() const { return m_presentTimer.isActive() || m_awaitingPicture; }

private:
    // Shows what is due and sets the timer for the next picture.
    void present();
    // The worker has primed the decoder (the first picture is on its way), or cannot.
    void onPrimed(const Result<QSize> &displaySize);
    // The pictures cannot be shown: ends a play in progress with the error, or the next one.
    void failPictures(const MediaError &error);
    std::int64_t frameToMs(std::int64_t index) const;

    AudioSinkFactory m_sinks;
    VideoOutputFactory m_outputs;
    std::unique_ptr<VideoOutput> m_output;
    std::unique_ptr<AudioPlayback> m_clock;
    std::unique_ptr<VideoFramePump> m_pump;
    PresentationClock m_presentationClock;
    QTimer m_presentTimer;
    QSize m_preparedSize; // as last handed to the output
    QString m_title;
    std::int64_t m_lengthMs = 0;
    std::int64_t m_clockRate = 0;
    double m_frameRate = 25;
    std::int64_t m_frameCount = 0;
    std::int64_t m_shownFrame = 0;
    std::int64_t m_picturesShown = 0;
    bool m_primed = false;
    // Play came before the first pictures: the sound starts when they are there.
    bool m_playWhenPrimed = false;
    bool m_awaitingPicture = false;
    // A seek or step whose picture has not been shown yet.
    bool m_seekPending = false;
    // Why the pictures cannot be shown, once the worker found out.
    std::optional<MediaError> m_pictureError;
};

} // namespace zyr::media
