#pragma once
// The numbers the media device control puts in Error. 0 is success; every failure has its own
// positive number, and the control keeps the failure's message beside it.

#include "media/core/Result.h"

#include <cstdint>

namespace zyr::media {

enum class MediaErrorCode : std::int16_t {
    None = 0,
    Internal = 257,           // something below the control failed unexpectedly
    UnknownCommand = 261,     // the command string names no command
    NoDeviceOpen = 263,       // the command needs an open device
    UnknownDeviceType = 266,  // DeviceType names no device type
    DeviceNotReady = 276,     // no output, no drive, no disc, no SoundFont
    UnsupportedCommand = 274, // the open device cannot do this command
    FileNotFound = 275,       // no such file, an empty name, a directory
    FileUnreadable = 277,     // the file cannot be read
    UnsupportedFormat = 296,  // not a medium this device type plays
    CorruptMedia = 297,       // a medium of the right type that is damaged
};

// The code a media error lands as in Error.
MediaErrorCode errorCodeFor(ErrorKind kind);

} // namespace zyr::media
