#pragma once
// A top-level window made from its WindowDesign: an ordinary sizable window at the window
// system's default place, whose client area has the design's size and holds the controls at
// their design positions. Nothing is laid out again when the window is resized.

#include "app/WindowDesign.h"

#include <QHash>
#include <QMainWindow>

#include <stdexcept>

class QAction;
class QMenu;

namespace zyr {

class DesignedWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit DesignedWindow(const WindowDesign &design, QWidget *parent = nullptr);

    // The design's name of the window (frmkivo, frmMyWav, ...).
    QString designName() const { return objectName(); }

    // The control or menu entry of that design name; a name the design lacks is a programming
    // error and throws std::logic_error (a fatal error once inside a handler).
    QWidget *control(const QString &name) const;
    template <typename T> T *control(const QString &name) const
    {
        auto *typed = qobject_cast<T *>(control(name));
        if (!typed)
            throw std::logic_error("control " + name.toStdString() + " has another kind");
        return typed;
    }
    QAction *menuItem(const QString &name) const;
    QMenu *menu(const QString &name) const;

    // The area the controls are placed in, and its size in pixels as the design gives it.
    QWidget *clientArea() const { return m_client; }
    QSize designClientSize() const { return m_designClientSize; }

    // The window's load handler; the window registry runs it once, when it creates the window.
    virtual void formLoad() {}

protected:
    // What closing the window with the title-bar button does. The close event itself is always
    // refused; the handler decides what becomes of the window.
    virtual void closeRequested() = 0;

    void closeEvent(QCloseEvent *event) override;

private:
    friend class DesignBuilder;

    QWidget *m_client = nullptr;
    QSize m_designClientSize;
    QHash<QString, QWidget *> m_controls;
    QHash<QString, QAction *> m_menuItems;
    QHash<QString, QMenu *> m_menus;
};

} // namespace zyr
