#include "app/QtMessages.h"

#include <QString>

#include <cstdio>

namespace zyr {

void dropQtMessages(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type != QtFatalMsg)
        return;
    std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
    std::fflush(stderr);
}

} // namespace zyr
