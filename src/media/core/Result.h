#pragma once
// Errors as values inside the media layer. A failure carries a kind and a message that reach
// the media device control's Error once; nothing below the control throws.

#include <QString>

#include <utility>
#include <variant>

namespace zyr::media {

enum class ErrorKind {
    None = 0,
    InvalidCommand,    // a command the control does not know, or one the device cannot do
    NoDevice,          // a command that needs an open device while none is open
    FileNotFound,      // missing path, empty name, a directory
    FileUnreadable,    // no permission, I/O error
    UnsupportedFormat, // not a medium of this device type, or no stream it can play
    CorruptMedia,      // a medium of the right type whose data cannot be decoded
    DeviceUnavailable, // no drive, no output, no capture device, no SoundFont
    Internal           // anything else below the control
};

struct MediaError {
    ErrorKind kind = ErrorKind::Internal;
    QString message;
};

// Result<T>: a value or a MediaError. Result<void> carries only the error.
template <typename T> class Result {
public:
    Result(T value) : m_data(std::move(value)) {}
    Result(MediaError error) : m_data(std::move(error)) {}

    bool ok() const { return std::holds_alternative<T>(m_data); }
    explicit operator bool() const { return ok(); }
    const T &value() const & { return std::get<T>(m_data); }
    T &value() & { return std::get<T>(m_data); }
    T &&value() && { return std::get<T>(std::move(m_data)); }
    const MediaError &error() const { return std::get<MediaError>(m_data); }

private:
    std::variant<T, MediaError> m_data;
};

template <> class Result<void> {
public:
    Result() = default;
    Result(MediaError error) : m_error(std::move(error)), m_ok(false) {}

    bool ok() const { return m_ok; }
    explicit operator bool() const { return ok(); }
    const MediaError &error() const { return m_error; }

private:
    MediaError m_error{ErrorKind::None, {}};
    bool m_ok = true;
};

inline MediaError makeError(ErrorKind kind, QString message)
{
    return MediaError{kind, std::move(message)};
}

} // namespace zyr::media
