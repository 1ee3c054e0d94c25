#include "desktop/MprisRootAdaptor.h"

#include "app/HandlerGuard.h"

namespace zyr::desktop {

MprisRootAdaptor::MprisRootAdaptor(QObject *exported, std::function<void()> raise)
    : QDBusAbstractAdaptor(exported), m_raise(std::move(raise))
{
}

void MprisRootAdaptor::Raise()
{
    guardHandler(m_raise);
}

} // namespace zyr::desktop
