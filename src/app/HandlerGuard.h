#pragma once
// Every event handler of the windows runs through guardHandler(): an exception that escapes a
// handler is a fatal error of the program (one message box, then the program ends), and no
// exception ever crosses Qt's event loop. Once the program is ending no handler runs.

#include "app/Program.h"

#include <QObject>
#include <QString>

#include <exception>
#include <utility>

namespace zyr {

template <typename Handler> void guardHandler(Handler &&handler) noexcept
{
    if (Program::ending())
        return;
    try {
        std::forward<Handler>(handler)();
    } catch (const std::exception &e) {
        Program::fatalError(QString::fromUtf8(e.what()));
    } catch (...) {
        Program::fatalError(QStringLiteral("An unexpected error ended the program."));
    }
}

// Connects a signal to a window's handler through the guard. The handler takes either no
// arguments or exactly the signal's arguments.
template <typename Sender, typename SignalClass, typename... SignalArgs, typename Receiver,
          typename ReceiverClass, typename... HandlerArgs>
QMetaObject::Connection connectHandler(Sender *sender, void (SignalClass::*signal)(SignalArgs...),
                                       Receiver *receiver,
                                       void (ReceiverClass::*handler)(HandlerArgs...))
{
    return QObject::connect(sender, signal, receiver, [receiver, handler](SignalArgs... args) {
        guardHandler([&] {
            if constexpr (sizeof...(HandlerArgs) == 0)
                (receiver->*handler)();
            else
                (receiver->*handler)(args...);
        });
    });
}

} // namespace zyr
