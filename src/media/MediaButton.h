#pragma once
// The control's button bar as a table: nine buttons, left to right, each with its command, its
// accessible name and the modes in which the control enables it.

#include "media/devices/MediaDevice.h"
#include "media/MediaCommand.h"

#include <array>

namespace zyr::media {

enum class MediaButton { Prev, Next, Play, Pause, Back, Step, Stop, Record, Eject };

// What the control is doing, as far as its buttons are concerned.
enum class ControlMode { NoDevice, Stopped, Playing, Recording, Paused, TrayOpen };

struct MediaButtonInfo {
    MediaButton button;
    MediaCommand command;
    const char *accessibleName;
    const char *eventName; // "Play" for PlayClick and PlayCompleted
};

inline constexpr std::array<MediaButtonInfo, 9> kMediaButtons{{
    {MediaButton::Prev, MediaCommand::Prev, "Previous", "Prev"},
    {MediaButton::Next, MediaCommand::Next, "Next", "Next"},
    {MediaButton::Play, MediaCommand::Play, "Play", "Play"},
    {MediaButton::Pause, MediaCommand::Pause, "Pause", "Pause"},
    {MediaButton::Back, MediaCommand::Back, "Step back", "Back"},
    {MediaButton::Step, MediaCommand::Step, "Step forward", "Step"},
    {MediaButton::Stop, MediaCommand::Stop, "Stop", "Stop"},
    {MediaButton::Record, MediaCommand::Record, "Record", "Record"},
    {MediaButton::Eject, MediaCommand::Eject, "Eject", "Eject"},
}};

const MediaButtonInfo &mediaButtonInfo(MediaButton button);

// Whether the control enables `button` in `mode` for a device that can do `can`.
bool isButtonEnabled(MediaButton button, ControlMode mode, const DeviceCapabilities &can);

} // namespace zyr::media
