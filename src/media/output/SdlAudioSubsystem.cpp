#include "media/output/SdlAudioSubsystem.h"

#include <SDL.h>

#include <utility>

namespace zyr::media {

Result<SdlAudioSubsystem> SdlAudioSubsystem::acquire()
{
    const auto guard = lock();
    // SDL's audio brings up its event subsystem, which by default turns SIGINT and SIGTERM into
    // a quit event that nobody here reads: the kit could then not be ended by a signal. The
    // program's own handling of signals stays in place.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        MediaError error = makeError(ErrorKind::DeviceUnavailable,
                                     QStringLiteral("No audio driver could be started: %1")
                                         .arg(QString::fromUtf8(SDL_GetError())));
        SDL_TLSCleanup();
        return error;
    }
    SdlAudioSubsystem subsystem;
    subsystem.m_held = true;
    return subsystem;
}

SdlAudioSubsystem::SdlAudioSubsystem(SdlAudioSubsystem &&other) noexcept
    : m_held(std::exchange(other.m_held, false))
{
}

SdlAudioSubsystem &SdlAudioSubsystem::operator=(SdlAudioSubsystem &&other) noexcept
{
    if (this != &other) {
        drop();
        m_held = std::exchange(other.m_held, false);
    }
    return *this;
}

SdlAudioSubsystem::~SdlAudioSubsystem()
{
    drop();
}

std::unique_lock<std::mutex> SdlAudioSubsystem::lock()
{
    static std::mutex mutex;
    return std::unique_lock<std::mutex>(mutex);
}

void SdlAudioSubsystem::drop()
{
    if (!m_held) {
        return;
    }
    m_held = false;
    const auto guard = lock();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    SDL_TLSCleanup();
}

} // namespace zyr::media
