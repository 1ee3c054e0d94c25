#pragma once
// An object the kit exports on the session bus. The bus hands a call's context (the message, the
// means to answer it with an error) to the object an adaptor belongs to, not to the adaptor: the
// adaptors of this object reach it through context(). UI thread only.

#include <QDBusAbstractAdaptor>
#include <QDBusContext>
#include <QObject>

namespace zyr {

class BusObject : public QObject, public QDBusContext {
    Q_OBJECT
public:
    using QObject::QObject;

    // The call being answered, for an adaptor of this object.
    static QDBusContext &context(const QDBusAbstractAdaptor &adaptor)
    {
        return *static_cast<BusObject *>(adaptor.parent());
    }
};

} // namespace zyr
