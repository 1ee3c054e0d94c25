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
    if (!requested.isValid() || periodFrames <= 0 ||
        periodFrames > std::numeric_limits<Uint16>::max()) {
        return makeError(ErrorKind::Internal,
                         QStringLiteral("Invalid audio output request: %1 Hz, %2 channels, "
                                        "%3 frames per period")
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
        device.m_id =
            SDL_OpenAudioDevice(nullptr, 0, &desired, &obtained,
                                SDL_AUDIO_ALLOW_FREQUENCY_CHANGE | SDL_AUDIO_ALLOW_CHANNELS_CHANGE);
    }
    if (device.m_id == 0) {
        return makeError(ErrorKind::DeviceUnavailable,
                         QStringLiteral("No audio output device could be opened: %1")
                             .arg(QString::fromUtf8(SDL_GetError())));
    }
    device.m_format = AudioFormat{obtained.freq, obtained.channels};
    device.m_periodFrames = obtained.samples;
    if (obtained.format != AUDIO_F32SYS || !device.m_format.isValid()) {
        return makeError(ErrorKind::DeviceUnavailable,
                         QStringLiteral("The audio output offered an unusable format: %1 Hz, "
                                        "%2 channels")
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
