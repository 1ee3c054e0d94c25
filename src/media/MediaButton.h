#pragma once
// The control's button bar as a table: nine buttons, left to right, each with its command, its
// accessible name and description, and the modes in which the control enables it.

#include "media/devices/MediaDevice.h"
#include "media/MediaCommand.h"

#include <array>

namespace zyr::media {

enum class MediaButton { Prev, Next, Play, Pause, Back, Step, Stop, Record, Eject };

// What the control is doing, as far as its buttons are concerned. TrayOpen: a drive's tray is
// open, or the drive has no disc it can read.
enum class ControlMode { NoDevice, Stopped, Playing, Recording, Paused, TrayOpen };

struct MediaButtonInfo {
    MediaButton button;
    MediaCommand command;
    const char *accessibleName;
    const char *accessibleDescription; // what pressing the button does, for assistive tools
    const char *eventName;             // "Play" for PlayClick and PlayCompleted
};

inline constexpr std::array<MediaButtonInfo, 9> kMediaButtons{{
    {MediaButton::Prev, MediaCommand::Prev, "Previous",
     "Goes to the start of the track; pressed again within three seconds, to the previous track",
     "Prev"},
    {MediaButton::Next, MediaCommand::Next, "Next", "Goes to the start of the next track", "Next"},
    {MediaButton::Play, MediaCommand::Play, "Play", "Plays from the current position", "Play"},
    {MediaButton::Pause, MediaCommand::Pause, "Pause", "Pauses playing; pressed again, plays on",
     "Pause"},
    {MediaButton::Back, MediaCommand::Back, "Step back", "Steps back one frame", "Back"},
    {MediaButton::Step, MediaCommand::Step, "Step forward", "Steps forward one frame", "Step"},
    {MediaButton::Stop, MediaCommand::Stop, "Stop", "Stops playing or recording", "Stop"},
    {MediaButton::Record, MediaCommand::Record, "Record",
     "Records from the sound input at the current position", "Record"},
    {MediaButton::Eject, MediaCommand::Eject, "Eject", "Opens the drive's tray", "Eject"},
}};

const MediaButtonInfo &mediaButtonInfo(MediaButton button);

// Whether the control enables `button` in `mode` for a device that can do `can`.
bool isButtonEnabled(MediaButton button, ControlMode mode, const DeviceCapabilities &can);

} // namespace zyr::media
