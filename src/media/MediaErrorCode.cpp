#include "media/MediaErrorCode.h"

namespace zyr::media {

MediaErrorCode errorCodeFor(ErrorKind kind)
{
    switch (kind) {
    case ErrorKind::None:
        return MediaErrorCode::None;
    case ErrorKind::InvalidCommand:
        return MediaErrorCode::UnsupportedCommand;
    case ErrorKind::NoDevice:
        return MediaErrorCode::NoDeviceOpen;
    case ErrorKind::FileNotFound:
        return MediaErrorCode::FileNotFound;
    case ErrorKind::FileUnreadable:
        return MediaErrorCode::FileUnreadable;
    case ErrorKind::UnsupportedFormat:
        return MediaErrorCode::UnsupportedFormat;
    case ErrorKind::CorruptMedia:
        return MediaErrorCode::CorruptMedia;
    case ErrorKind::DeviceUnavailable:
        return MediaErrorCode::DeviceNotReady;
    case ErrorKind::Internal:
        return MediaErrorCode::Internal;
    }
    return MediaErrorCode::Internal;
}

} // namespace zyr::media
