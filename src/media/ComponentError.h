#pragma once

#include <QString>

#include <stdexcept>

namespace zyr::media {

// Raised by a component's property access when the window asks for something the component
// does not have: an unknown dispatch id, a value of the wrong type, or a cancelled dialog.
// It is the one exception of the media layer, and the windows' handler guard catches it.
class ComponentError : public std::runtime_error {
public:
    static constexpr int kTypeMismatch = 13;
    static constexpr int kNoSuchProperty = 438;
    static constexpr int kInvalidPropertyValue = 380;
    static constexpr int kCancelled = 32755;

    ComponentError(int code, const QString &message)
        : std::runtime_error(message.toStdString()), m_code(code)
    {
    }

    int code() const { return m_code; }

private:
    int m_code;
};

} // namespace zyr::media
