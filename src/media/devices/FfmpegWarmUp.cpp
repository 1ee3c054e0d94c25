#include "media/devices/FfmpegWarmUp.h"

#include "media/devices/LibraryMessages.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <array>
#include <cstdint>
#include <cstring>
#include <system_error>
#include <thread>

namespace zyr::media {

namespace {

void warmUp()
{
    quietMediaLibraries();
    // The codecs' static tables are set up on the first walk through them.
    void *codecs = nullptr;
    while (av_codec_iterate(&codecs) != nullptr) {
    }
    // Every demuxer's probe runs once on made-up bytes, as they all run on a WAVE file's first
    // packet of PCM (FFmpeg's check that it is not compressed sound) and on a file whose
    // container the decoders do not know.
    std::array<std::uint8_t, 2048 + AVPROBE_PADDING_SIZE> head{};
    std::memcpy(head.data(), "RIFF\x24\x08\0\0WAVEfmt ", 16);
    AVProbeData probe{};
    probe.filename = "";
    probe.buf = head.data();
    probe.buf_size = 2048;
    int score = 0;
    static_cast<void>(av_probe_input_format2(&probe, 1, &score));
}

// The warm-up only saves time: where no thread can be started, the first Open does the work.
struct WarmUpThread {
    std::thread thread;
    WarmUpThread()
    {
        try {
            thread = std::thread(warmUp);
        } catch (const std::system_error &) {
        }
    }
    ~WarmUpThread()
    {
        if (thread.joinable())
            thread.join();
    }
};

} // namespace

void startWarmingFfmpeg()
{
    static WarmUpThread warming;
}

} // namespace zyr::media
