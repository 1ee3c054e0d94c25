#pragma once
// One reference to SDL's audio subsystem. SDL counts SDL_InitSubSystem calls and shuts the
// subsystem down on the matching last SDL_QuitSubSystem, so every sink holds its own reference
// and the subsystem lives exactly as long as some sink needs it. SDL2 does not guard its
// init/quit and device open/close against concurrent callers, so all of those go through
// lock(), shared with SdlAudioDevice.
//
// SDL keeps an error message per thread and frees it by itself only on threads it created; the
// devices call SDL from workers of their own, which end with the device. So a failed acquire
// and every release free the calling thread's message (SDL makes it again if that thread calls
// SDL later), and no worker leaves it behind.

#include "media/core/Result.h"

#include <mutex>

namespace zyr::media {

class SdlAudioSubsystem {
public:
    // Takes a reference to SDL's audio subsystem, starting it on the first; fails with
    // DeviceUnavailable when no SDL audio driver starts. Any thread except an SDL audio
    // callback; blocks while the driver starts.
    static Result<SdlAudioSubsystem> acquire();

    SdlAudioSubsystem(SdlAudioSubsystem &&other) noexcept;
    SdlAudioSubsystem &operator=(SdlAudioSubsystem &&other) noexcept;
    SdlAudioSubsystem(const SdlAudioSubsystem &) = delete;
    SdlAudioSubsystem &operator=(const SdlAudioSubsystem &) = delete;
    // Drops the reference; the last one shuts the subsystem down. Blocks under lock().
    ~SdlAudioSubsystem();

    // Serialises SDL audio init/quit and device open/close across threads. Any thread except an
    // SDL audio callback; blocks while another thread holds it.
    static std::unique_lock<std::mutex> lock();

private:
    SdlAudioSubsystem() = default;
    void drop();

    bool m_held = false;
};

} // namespace zyr::media
