#include "desktop/LastUsedControl.h"

#include "media/MediaControl.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

namespace zyr::desktop {

LastUsedControl::LastUsedControl(QObject *parent) : QObject(parent)
{
    QCoreApplication::instance()->installEventFilter(this);
}

LastUsedControl::~LastUsedControl()
{
    QCoreApplication::instance()->removeEventFilter(this);
}

bool LastUsedControl::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::Show && event->type() != QEvent::WindowActivate)
        return false;
    auto *window = qobject_cast<QWidget *>(watched);
    if (!window || !window->isWindow())
        return false;
    // A player window holds exactly one control; other windows hold none.
    if (auto *control = window->findChild<media::MediaControl *>())
        setCurrent(control);
    return false;
}

void LastUsedControl::setCurrent(media::MediaControl *control)
{
    // Connecting again to a control already followed is refused, so each is followed once.
    connect(control, &media::MediaControl::buttonClick, this, &LastUsedControl::onButtonClick,
            Qt::UniqueConnection);
    connect(control, &media::MediaControl::modeChanged, this, &LastUsedControl::onModeChanged,
            Qt::UniqueConnection);
    if (control == m_control)
        return;
    m_control = control;
    emit changed(control);
}

void LastUsedControl::onButtonClick(media::MediaButton, bool &)
{
    if (auto *control = qobject_cast<media::MediaControl *>(sender()))
        setCurrent(control);
}

void LastUsedControl::onModeChanged(media::ControlMode mode)
{
    if (mode != media::ControlMode::Playing && mode != media::ControlMode::Recording)
        return;
    if (auto *control = qobject_cast<media::MediaControl *>(sender()))
        setCurrent(control);
}

} // namespace zyr::desktop
