#pragma once

#include <QtGlobal>

namespace zyr {

// A release run of the kit logs nothing. Installed as Qt's message handler before the
// application object is made, this drops Qt's own debug output, notes and warnings (such as
// "QStandardPaths: XDG_RUNTIME_DIR not set"). A fatal message still reaches standard error
// before Qt ends the program: when no display can be reached it is all the user sees.
void dropQtMessages(QtMsgType type, const QMessageLogContext &context, const QString &message);

} // namespace zyr
