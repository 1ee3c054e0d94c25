#include "media/MediaButton.h"

namespace zyr::media {

const MediaButtonInfo &mediaButtonInfo(MediaButton button)
{
    return kMediaButtons[static_cast<std::size_t>(button)];
}

bool isButtonEnabled(MediaButton button, ControlMode mode, const DeviceCapabilities &can)
{
    // Buttons that only some devices have are enabled only on those devices.
    switch (button) {
    case MediaButton::Back:
    case MediaButton::Step:
        if (!can.canStep)
            return false;
        break;
    case MediaButton::Record:
        if (!can.canRecord)
            return false;
        break;
    case MediaButton::Eject:
        if (!can.canEject)
            return false;
        break;
    default:
        break;
    }

    switch (mode) {
    case ControlMode::NoDevice:
        return false;
    case ControlMode::TrayOpen:
        return button == MediaButton::Eject;
    case ControlMode::Stopped:
        return button != MediaButton::Pause && button != MediaButton::Stop;
    case ControlMode::Playing:
    case ControlMode::Recording:
        return button != MediaButton::Play && button != MediaButton::Record;
    case ControlMode::Paused:
        return true;
    }
    return false;
}

} // namespace zyr::media
