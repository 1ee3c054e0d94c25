#include "media/output/SdlAudioDevice.h"

#include "media/output/SdlAudioSubsystem.h"

#include <SDL.h>

#include <limits>
#include <type_traits>

namespace zyr::media {

static_assert(std::is_same_v<SdlAudioDevice::Callback, SDL_AudioCallback>);
static_assert(std::is_same_v<std::uint32_t, SDL_AudioDeviceID>);

Result<SdlAudioDevice> SdlAudioDevice::open(AudioFormat requested, int periodFrames,
                                            Callback callback, void *userdata)
{
    return openDevice(Direction::Output, requested, periodFrames, callback, userdata);
}

Result<SdlAudioDevice> SdlAudioDevice::openCapture(AudioFormat format, int periodFrames,
                                                   Callback callback, void *userdata)
{
    return openDevice(Direction::Capture, format, periodFrames, callback, userdata);
}

bool SdlAudioDevice::hasCaptureDevice()
{
    const auto guard = SdlAudioSubsystem::lock();
    // -1 means SDL cannot list them but a default input may still open.
    return SDL_GetNumAudioDevices(1) != 0;
}

Result<SdlAudioDevice> SdlAudioDevice::openDevice(Direction direction, AudioFormat requested,
                                                  int periodFrames, Callback callback,
                                                  void *userdata)
{
    const bool capture = direction == Direction::Capture;
    const char *what = capture ? "input" : "output";
    if (!requested.isValid() || periodFrames <= 0 ||
        periodFrames > std::numeric_limits<Uint16>::max()) {
        return makeError(ErrorKind::Internal,
                         QStringLiteral("Invalid audio %1 request: %2 Hz, %3 channels, "
                                        "%4 frames per period")
                             .arg(QLatin1String(what))
                             .arg(requested.sampleRate)
                             .arg(requested.channels)
                             .arg(periodFrames));
    }
    SDL_AudioSpec desired{};
    desired.freq = requested.sampleRate;
    desired.format = AUDIO_F32SYS;
    desired.channels = static_cast<Uint8>(requested.channels);
    desired.samples = static_cast<Uint16>(periodFrames);
    desired.callback = callback;
    desired.userdata = userdata;
    SDL_AudioSpec obtained{};

    SdlAudioDevice device;
    {
        const auto guard = SdlAudioSubsystem::lock();
        // An output may play at the rate and channel count the hardware prefers (the device
        // converts to it); a capture delivers exactly the sound's own format.
        const int allowedChanges =
            capture ? 0 : SDL_AUDIO_ALLOW_FREQUENCY_CHANGE | SDL_AUDIO_ALLOW_CHANNELS_CHANGE;
        device.m_id =
            SDL_OpenAudioDevice(nullptr, capture ? 1 : 0, &desired, &obtained, allowedChanges);
    }
    if (device.m_id == 0) {
        return makeError(ErrorKind::DeviceUnavailable,
                         QStringLiteral("No audio %1 device could be opened: %2")
                             .arg(QLatin1String(what), QString::fromUtf8(SDL_GetError())));
    }
    device.m_format = AudioFormat{obtained.freq, obtained.channels};
    device.m_periodFrames = obtained.samples;
    if (obtained.format != AUDIO_F32SYS || !device.m_format.isValid()) {
        return makeError(ErrorKind::DeviceUnavailable,
                         QStringLiteral("The audio %1 offered an unusable format: %2 Hz, "
                                        "%3 channels")
                             .arg(QLatin1String(what))
                             .arg(obtained.freq)
                             .arg(obtained.channels));
    }
    return device;
}

SdlAudioDevice::SdlAudioDevice(SdlAudioDevice &&other) noexcept
    : m_id(std::exchange(other.m_id, 0)), m_format(other.m_format),
      m_periodFrames(other.m_periodFrames)
{
}

SdlAudioDevice &SdlAudioDevice::operator=(SdlAudioDevice &&other) noexcept
{
    if (this != &other) {
        close();
        m_id = std::exchange(other.m_id, 0);
        m_format = other.m_format;
        m_periodFrames = other.m_periodFrames;
    }
    return *this;
}

SdlAudioDevice::~SdlAudioDevice()
{
    close();
}

void SdlAudioDevice::setPaused(bool paused)
{
    if (m_id != 0) {
        SDL_PauseAudioDevice(m_id, paused ? 1 : 0);
    }
}

bool SdlAudioDevice::disconnected() const
{
    return m_id != 0 && SDL_GetAudioDeviceStatus(m_id) == SDL_AUDIO_STOPPED;
}

void SdlAudioDevice::close()
{
    if (m_id == 0) {
        return;
    }
    const auto guard = SdlAudioSubsystem::lock();
    SDL_CloseAudioDevice(std::exchange(m_id, 0));
}

void SdlAudioDevice::lockCallback()
{
    if (m_id != 0) {
        SDL_LockAudioDevice(m_id);
    }
}

void SdlAudioDevice::unlockCallback()
{
    if (m_id != 0) {
        SDL_UnlockAudioDevice(m_id);
    }
}

} // namespace zyr::media
