#include "app/WindowDesign.h"

#include <utility>

namespace zyr {

namespace {

ControlDesign make(ControlKind kind, QString name, int left, int top, int width, int height,
                   int tabIndex, QString caption)
{
    ControlDesign c;
    c.kind = kind;
    c.name = std::move(name);
    c.left = left;
    c.top = top;
    c.width = width;
    c.height = height;
    c.tabIndex = tabIndex;
    c.caption = std::move(caption);
    return c;
}

} // namespace

ControlDesign commandButton(QString name, int left, int top, int width, int height, int tabIndex,
                            QString caption)
{
    return make(ControlKind::CommandButton, std::move(name), left, top, width, height, tabIndex,
                std::move(caption));
}

ControlDesign label(QString name, int left, int top, int width, int height, int tabIndex,
                    QString caption)
{
    return make(ControlKind::Label, std::move(name), left, top, width, height, tabIndex,
                std::move(caption));
}

ControlDesign picture(QString name, int left, int top, int width, int height, QString resource)
{
    ControlDesign c = make(ControlKind::Picture, std::move(name), left, top, width, height, -1, {});
    c.picture = std::move(resource);
    return c;
}

ControlDesign line(QString name, int x1, int y1, int x2, int y2)
{
    return make(ControlKind::Line, std::move(name), x1, y1, x2 - x1, y2 - y1, -1, {});
}

ControlDesign frame(QString name, int left, int top, int width, int height, int tabIndex,
                    QString caption)
{
    return make(ControlKind::Frame, std::move(name), left, top, width, height, tabIndex,
                std::move(caption));
}

ControlDesign textBox(QString name, int left, int top, int width, int height, int tabIndex,
                      QString text)
{
    return make(ControlKind::TextBox, std::move(name), left, top, width, height, tabIndex,
                std::move(text));
}

ControlDesign hScrollBar(QString name, int left, int top, int width, int height, int tabIndex)
{
    return make(ControlKind::HScrollBar, std::move(name), left, top, width, height, tabIndex, {});
}

ControlDesign component(QString name, int left, int top, int width, int height, int tabIndex,
                        ComponentFactory factory)
{
    ControlDesign c =
        make(ControlKind::Component, std::move(name), left, top, width, height, tabIndex, {});
    c.component = std::move(factory);
    return c;
}

ControlDesign inside(QString frameName, ControlDesign control)
{
    control.container = std::move(frameName);
    return control;
}

ControlDesign withFont(FontDesign font, ControlDesign control)
{
    control.font = std::move(font);
    return control;
}

ControlDesign withAccessibleName(QString accessibleName, ControlDesign control)
{
    control.accessibleName = std::move(accessibleName);
    return control;
}

} // namespace zyr
