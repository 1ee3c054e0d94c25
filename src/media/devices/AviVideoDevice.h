#pragma once
// The "AVIVideo" device: a movie (AVI, and any container FFmpeg demuxes with a real video
// stream) shown in the device's own top-level window, its sound through the kit's audio sink.
//
// The sound is the clock: the movie plays as a sound fitted to the movie's length (silence for
// a movie without one), and the pictures follow it. A video worker decodes pictures ahead; a
// timer on the UI thread shows each when the clock reaches it and drops those that come too
// late, never the sound. Back and Step move by one picture and hold the movie there.
//
// Closing the window pauses the movie; Play shows the window again. UI thread only.

#include "media/devices/AudioPlayback.h"
#include "media/devices/MediaDevice.h"
#include "media/devices/VideoFramePump.h"
#include "media/devices/VideoOutput.h"
#include "media/output/AudioSinkFactory.h"

#include <QTimer>

namespace zyr::media {

class AviVideoDevice : public MediaDevice {
    Q_OBJECT
public:
    // How often the UI thread looks for the next picture: often enough for 60 pictures a
    // second, rarely enough to cost nothing measurable.
    static constexpr int kPresentTickMs = 8;
    // Ticks without a picture after which a standing movie's timer stops: a few hundred
    // milliseconds, far more than decoding one picture takes.
    static constexpr int kIdleTicks = 60;

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

    // The picture shown last (its index), and pictures dropped so far.
    std::int64_t shownFrame() const { return m_shownFrame; }
    std::int64_t droppedFrames() const { return m_pump ? m_pump->droppedFrames() : 0; }
    VideoOutput *output() const { return m_output.get(); }
    // Whether the UI thread is looking for pictures (playing, or a seek's picture on its way).
    bool isPresenting() const { return m_presentTimer.isActive(); }

private:
    void presentDue();
    // Runs the timer: while playing, and after a seek or step until pictures stop coming.
    void wakePresenter();
    std::int64_t frameToMs(std::int64_t index) const;

    AudioSinkFactory m_sinks;
    VideoOutputFactory m_outputs;
    std::unique_ptr<VideoOutput> m_output;
    std::unique_ptr<AudioPlayback> m_clock;
    std::unique_ptr<VideoFramePump> m_pump;
    QTimer m_presentTimer;
    std::int64_t m_lengthMs = 0;
    std::int64_t m_clockRate = 0;
    double m_frameRate = 25;
    std::int64_t m_frameCount = 0;
    std::int64_t m_shownFrame = 0;
    int m_idleTicks = 0;
};

} // namespace zyr::media
