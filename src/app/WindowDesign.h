#pragma once
// A window is declared as a table that reads like its description: name, caption, client size,
// icon, menu bar, then its controls in design order. DesignBuilder turns a table into widgets.
// All geometry is in twips (see Twips.h).

#include <QColor>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

class QWidget;

namespace zyr {

struct ControlDesign;

enum class ControlKind {
    CommandButton,
    Label,
    Picture,
    Line,
    Frame,
    TextBox,
    HScrollBar,
    Component // a widget made by the control's own factory (media device control, dialog)
};

// A font record: face, size in points, weight (400 normal, 600 semibold, 700 bold), style.
struct FontDesign {
    QString face;
    double points = 8.0;
    int weight = 400;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    int charset = 0;
};

// Makes the widget of a Component control; the builder places and names it afterwards.
using ComponentFactory = std::function<QWidget *(QWidget *parent, const ControlDesign &design)>;

struct ControlDesign {
    ControlKind kind = ControlKind::Label;
    QString name;
    // Left, Top, Width, Height relative to the client area, or to the frame named in `container`.
    // A line keeps its start point in left/top and its end point in left+width/top+height.
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    int tabIndex = -1; // -1: the control takes no part in the focus order
    QString caption;   // caption or text; "&" marks the access key
    std::optional<FontDesign> font;
    std::optional<QColor> foreColor;
    std::optional<QColor> backColor;
    QString picture;   // resource path of a GIF or icon, shown at its own size
    QString container; // name of the frame the control lies inside; empty for the client area
    ComponentFactory component;
    bool visibleAtRunTime = true; // false for components that only exist behind the scenes
    QString accessibleName;       // what assistive tools call a control that has no caption
};

struct MenuItemDesign {
    QString name;
    QString caption;
};

struct MenuDesign {
    QString name;
    QString caption;
    std::vector<MenuItemDesign> items;
};

struct WindowDesign {
    QString name;
    QString caption;
    int clientWidth = 0; // twips
    int clientHeight = 0;
    QString icon; // resource path; empty for none of its own
    std::vector<MenuDesign> menus;
    std::vector<ControlDesign> controls;
};

// Shorthands that keep the design tables readable.
ControlDesign commandButton(QString name, int left, int top, int width, int height, int tabIndex,
                            QString caption);
ControlDesign label(QString name, int left, int top, int width, int height, int tabIndex,
                    QString caption);
ControlDesign picture(QString name, int left, int top, int width, int height, QString resource);
ControlDesign line(QString name, int x1, int y1, int x2, int y2);
ControlDesign frame(QString name, int left, int top, int width, int height, int tabIndex,
                    QString caption);
ControlDesign textBox(QString name, int left, int top, int width, int height, int tabIndex,
                      QString text);
ControlDesign hScrollBar(QString name, int left, int top, int width, int height, int tabIndex);
ControlDesign component(QString name, int left, int top, int width, int height, int tabIndex,
                        ComponentFactory factory);

ControlDesign inside(QString frameName, ControlDesign control);
ControlDesign withFont(FontDesign font, ControlDesign control);
ControlDesign withAccessibleName(QString accessibleName, ControlDesign control);

} // namespace zyr
