#pragma once
// How a device that records obtains its input. Like AudioSinkFactory, a factory rather than a
// capture, so that tests hand in a TestAudioCapture and the application the real input, and
// each recording gets a fresh capture.

#include "media/input/AudioCapture.h"

#include <functional>
#include <memory>

namespace zyr::media {

struct AudioCaptureFactory {
    // Whether there is an input to record from now. Any thread; may start the audio subsystem,
    // so devices ask it off the UI thread.
    std::function<bool()> available;
    // Makes a new, closed capture. Any thread.
    std::function<std::unique_ptr<AudioCapture>()> make;

    // True when both parts are set: a factory that can be asked at all.
    explicit operator bool() const { return available && make; }
};

// The application's input: SDL's default capture device.
AudioCaptureFactory defaultAudioCaptureFactory();

} // namespace zyr::media
