#pragma once
// Values that pass through a component's properties: strings and 16-bit integers written,
// strings, 32-bit and 16-bit integers read, and booleans.

#include <QString>

#include <cstdint>
#include <variant>

namespace zyr::media {

using DispatchValue = std::variant<std::monostate, QString, std::int16_t, std::int32_t, bool>;

// A component reached late-bound: each property written or read by its dispatch id.
class Dispatchable {
public:
    virtual ~Dispatchable() = default;
    // Writes a property; raises ComponentError for an unknown id or a value of the wrong type.
    virtual void put(int dispatchId, const DispatchValue &value) = 0;
    // Reads a property; raises ComponentError for an unknown id.
    virtual DispatchValue get(int dispatchId) = 0;
};

// The value as T, or ComponentError (type mismatch) naming the property.
template <typename T> T dispatchAs(const DispatchValue &value, const char *property);

} // namespace zyr::media

#include "media/ComponentError.h"

namespace zyr::media {

template <typename T> T dispatchAs(const DispatchValue &value, const char *property)
{
    if (const T *v = std::get_if<T>(&value))
        return *v;
    throw ComponentError(ComponentError::kTypeMismatch,
                         QStringLiteral("Type mismatch for %1.").arg(QLatin1String(property)));
}

} // namespace zyr::media
