#include "media/devices/LibraryMessages.h"

extern "C" {
#include <libavutil/log.h>
}
#include <alsa/asoundlib.h>
#include <cdio/logging.h>
#include <fluidsynth.h>
#include <SDL_log.h>

#include <cstdarg>

namespace zyr::media {

namespace {

void dropFfmpegMessage(void *, int, const char *, std::va_list) {}

void dropSdlMessage(void *, int, SDL_LogPriority, const char *) {}

void dropCdioMessage(cdio_log_level_t, const char *) {}

void dropAlsaMessage(const char *, int, const char *, int, const char *, ...) {}

} // namespace

void quietMediaLibraries()
{
    // A function-local static: the first caller sets the handlers while any other waits, so no
    // library call races with the change.
    static const bool quiet = [] {
        av_log_set_callback(&dropFfmpegMessage);
        SDL_LogSetOutputFunction(&dropSdlMessage, nullptr);
        cdio_log_set_handler(&dropCdioMessage);
        // SDL's ALSA driver, tried where no sound server runs, makes ALSA print why no card
        // could be opened ("cannot find card '0'", "Unknown PCM default").
        snd_lib_error_set_handler(&dropAlsaMessage);
        // A null function turns a FluidSynth level off.
        for (int level = FLUID_PANIC; level < LAST_LOG_LEVEL; ++level)
            fluid_set_log_function(level, nullptr, nullptr);
        return true;
    }();
    static_cast<void>(quiet);
}

} // namespace zyr::media
