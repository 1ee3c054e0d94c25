#pragma once
// How devices obtain their output. A device holds a factory rather than a sink so that tests
// can hand it a TestAudioSink and the application the real output, and so that each open of a
// medium gets a fresh sink.

#include "media/output/AudioSink.h"

#include <functional>
#include <memory>

namespace zyr::media {

// Makes a new, closed sink. Must be callable from any thread.
using AudioSinkFactory = std::function<std::unique_ptr<AudioSink>()>;

// The application's output: sinks that play through SDL's default device and, when SDL has no
// driver or no output device at open time, fall back to a SilentAudioSink that keeps time.
// Any thread; does not block.
AudioSinkFactory defaultAudioSinkFactory();

} // namespace zyr::media
