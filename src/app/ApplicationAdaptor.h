#pragma once
// The kit's application interface on the session bus, org.freedesktop.Application, through which
// a second start of the kit (ApplicationBusService) hands over its medium or asks the kit to come
// to the front. Each call is answered at once; what it asks for follows as a handler of its own.
// A kit that is ending refuses, so that the new start makes a kit of its own. UI thread only.

#include <QDBusAbstractAdaptor>
#include <QStringList>
#include <QVariantMap>

#include <functional>

namespace zyr {

class BusObject;

class ApplicationAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")
public:
    // The error a refusing kit answers with.
    static inline const QString kEndingError = QStringLiteral("org.zyr.MultimediaKit.Error.Ending");

    struct Handlers {
        std::function<void(const QString &uri)> open; // the medium, handed over
        std::function<void()> activate;               // a start without a medium
        std::function<bool()> ending;                 // whether the kit is ending
        std::function<void()> refused;                // after a refusal, before its answer
    };

    ApplicationAdaptor(BusObject *exported, Handlers handlers);

public slots:
    void Activate(const QVariantMap &platformData);
    // Only the first URI counts: the kit opens one medium at a time.
    void Open(const QStringList &uris, const QVariantMap &platformData);
    // The kit has no actions: answers with an error.
    void ActivateAction(const QString &actionName, const QVariantList &parameter,
                        const QVariantMap &platformData);

private:
    // Refuses the call when the kit is ending; true when it did.
    bool refuseWhenEnding();

    Handlers m_handlers;
};

} // namespace zyr
