#include "app/DesignBuilder.h"

#include "app/DesignedWindow.h"
#include "app/DesignLabel.h"
#include "app/DesignLine.h"
#include "app/DesignPicture.h"
#include "app/DesignScrollBar.h"
#include "app/Twips.h"

#include <QGroupBox>
#include <QIcon>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>

#include <algorithm>
#include <limits>
#include <stdexcept>

namespace zyr {

namespace {

// The range a scroll bar has until the program sets another: 0 to 32767, value 0.
constexpr int kScrollBarDefaultMax = 32767;

QWidget *makeWidget(const ControlDesign &c, QWidget *parent)
{
    switch (c.kind) {
    case ControlKind::CommandButton: {
        auto *b = new QPushButton(c.caption, parent);
        b->setAutoDefault(false);
        b->setDefault(false);
        b->setFocusPolicy(Qt::StrongFocus);
        return b;
    }
    case ControlKind::Label:
        return new DesignLabel(c.caption, parent);
    case ControlKind::Picture:
        return new DesignPicture(c.picture, parent);
    case ControlKind::Line: {
        const QPoint from(twipsToPixels(c.left), twipsToPixels(c.top));
        const QPoint to(twipsToPixels(c.left + c.width), twipsToPixels(c.top + c.height));
        return new DesignLine(from, to, parent);
    }
    case ControlKind::Frame: {
        auto *g = new QGroupBox(c.caption, parent);
        g->setFocusPolicy(Qt::NoFocus);
        return g;
    }
    case ControlKind::TextBox: {
        auto *e = new QLineEdit(c.caption, parent);
        e->setFocusPolicy(Qt::StrongFocus);
        return e;
    }
    case ControlKind::HScrollBar: {
        auto *s = new DesignScrollBar(Qt::Horizontal, parent);
        s->setRange(0, kScrollBarDefaultMax);
        s->setValue(0);
        s->setFocusPolicy(Qt::StrongFocus);
        return s;
    }
    case ControlKind::Component:
        if (!c.component)
            throw std::logic_error("component " + c.name.toStdString() + " has no factory");
        return c.component(parent, c);
    }
    throw std::logic_error("unknown control kind");
}

void applyLook(QWidget *w, const ControlDesign &c)
{
    if (c.font)
        w->setFont(DesignBuilder::font(*c.font));
    if (c.foreColor || c.backColor) {
        QPalette p = w->palette();
        if (c.foreColor) {
            p.setColor(QPalette::WindowText, *c.foreColor);
            p.setColor(QPalette::Text, *c.foreColor);
            p.setColor(QPalette::ButtonText, *c.foreColor);
        }
        if (c.backColor) {
            p.setColor(QPalette::Window, *c.backColor);
            p.setColor(QPalette::Base, *c.backColor);
            p.setColor(QPalette::Button, *c.backColor);
            w->setAutoFillBackground(true);
        }
        w->setPalette(p);
    }
}

// The same font with every property set explicitly, so that a child keeps it instead of
// inheriting its parent's.
QFont explicitFont(const QFont &inherited)
{
    QFont f = inherited;
    f.setFamilies(inherited.families().isEmpty() ? QStringList{inherited.family()}
                                                 : inherited.families());
    f.setPointSizeF(inherited.pointSizeF());
    f.setWeight(inherited.weight());
    f.setItalic(inherited.italic());
    f.setUnderline(inherited.underline());
    f.setStrikeOut(inherited.strikeOut());
    return f;
}

// A substitute face can be taller than the face a design was drawn with. A label whose wrapped
// caption would then lose part of its last line grows downwards just enough to show it; its
// place and width stay as designed.
void growToShowLastLine(QLabel *label)
{
    const QRect wrapped = label->fontMetrics().boundingRect(
        QRect(0, 0, label->width(), QWIDGETSIZE_MAX), Qt::TextWordWrap, label->text());
    if (wrapped.height() > label->height())
        label->resize(label->width(), wrapped.height());
}

} // namespace

QFont DesignBuilder::font(const FontDesign &design)
{
    QFont f(design.face);
    f.setPointSizeF(design.points);
    f.setWeight(static_cast<QFont::Weight>(std::clamp(design.weight, 1, 1000)));
    f.setItalic(design.italic);
    f.setUnderline(design.underline);
    f.setStrikeOut(design.strikeOut);
    return f;
}

void DesignBuilder::build(DesignedWindow &window, const WindowDesign &design)
{
    window.setObjectName(design.name);
    window.setWindowTitle(design.caption);
    if (!design.icon.isEmpty())
        window.setWindowIcon(QIcon(design.icon));

    if (!design.menus.empty()) {
        QMenuBar *bar = window.menuBar();
        for (const MenuDesign &m : design.menus) {
            QMenu *menu = bar->addMenu(m.caption);
            menu->setObjectName(m.name);
            menu->menuAction()->setObjectName(m.name);
            window.m_menus.insert(m.name, menu);
            for (const MenuItemDesign &item : m.items) {
                QAction *a = menu->addAction(item.caption);
                a->setObjectName(item.name);
                window.m_menuItems.insert(item.name, a);
            }
        }
    }

    auto *client = new QWidget(&window);
    client->setObjectName(design.name + QStringLiteral("_client"));
    window.setCentralWidget(client);
    window.m_client = client;
    window.m_designClientSize = twipsToPixels(QSize(design.clientWidth, design.clientHeight));

    // The focus chain follows creation order (QWidget::setTabOrder is unreliable in Qt 6.4),
    // so controls are made in tab-index order, frames first since they hold others, and then
    // stacked in design order, a later control lying above an earlier one.
    std::vector<const ControlDesign *> creation;
    for (const ControlDesign &c : design.controls)
        creation.push_back(&c);
    std::stable_sort(creation.begin(), creation.end(), [](const auto *a, const auto *b) {
        const auto rank = [](const ControlDesign *c) {
            if (c->kind == ControlKind::Frame)
                return -1;
            return c->tabIndex >= 0 ? c->tabIndex : std::numeric_limits<int>::max();
        };
        return rank(a) < rank(b);
    });
    for (const ControlDesign *c : creation) {
        QWidget *parent = c->container.isEmpty() ? client : window.control(c->container);
        QWidget *w = makeWidget(*c, parent);
        w->setObjectName(c->name);
        if (c->kind != ControlKind::Line)
            w->setGeometry(twipsToPixels(c->left, c->top, c->width, c->height));
        if (!c->font && parent != client)
            w->setFont(explicitFont(window.font())); // a frame's font is for its caption only
        applyLook(w, *c);
        if (!c->accessibleName.isEmpty())
            w->setAccessibleName(c->accessibleName);
        if (!c->visibleAtRunTime)
            w->hide();
        window.m_controls.insert(c->name, w);
    }
    // Labels, pictures and lines are drawn on their container, below every control that is a
    // window of its own (buttons, bars, text boxes, frames, components), whatever their order.
    for (const ControlDesign &c : design.controls)
        window.m_controls.value(c.name)->raise();
    for (const ControlDesign &c : design.controls)
        if (c.kind != ControlKind::Label && c.kind != ControlKind::Picture &&
            c.kind != ControlKind::Line)
            window.m_controls.value(c.name)->raise();
    for (DesignLabel *l : client->findChildren<DesignLabel *>())
        growToShowLastLine(l);

    const int menuHeight = window.menuWidget() ? window.menuWidget()->sizeHint().height() : 0;
    window.resize(window.m_designClientSize.width(),
                  window.m_designClientSize.height() + menuHeight);
}

} // namespace zyr
