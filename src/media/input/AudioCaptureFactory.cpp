#include "media/input/AudioCaptureFactory.h"

#include "media/input/SdlAudioCapture.h"
#include "media/output/SdlAudioDevice.h"
#include "media/output/SdlAudioSubsystem.h"

namespace zyr::media {

AudioCaptureFactory defaultAudioCaptureFactory()
{
    return {
        [] {
            const Result<SdlAudioSubsystem> subsystem = SdlAudioSubsystem::acquire();
            return subsystem.ok() && SdlAudioDevice::hasCaptureDevice();
        },
        [] { return std::make_unique<SdlAudioCapture>(); },
    };
}

} // namespace zyr::media
