// The window-design builder, checked on whole windows: geometry in twips, client size, focus,
// pictures at their own size, labels that wrap, access keys, and that resizing moves nothing.
// The four players are checked against their designs as written down here, control by control,
// and their Tab order by pressing Tab.

#include "app/ApplicationSetup.h"
#include "app/DesignLabel.h"
#include "app/DesignLine.h"
#include "app/DesignPicture.h"
#include "app/KitWindows.h"
#include "app/Twips.h"
#include "app/WindowRegistry.h"
#include "media/FileOpenDialog.h"
#include "media/MediaControl.h"
#include "windows/AboutWindow.h"
#include "windows/MainMenuWindow.h"

#include <QApplication>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QtTest>

#include <algorithm>
#include <vector>

using namespace zyr;

Q_DECLARE_METATYPE(zyr::WindowClass)

namespace {

enum class Kind { Button, Label, Picture, Line, TextBox, ScrollBar, MediaControl, Dialog };

// One control of a player's design: kind, name, Left, Top, Width, Height in twips (a line's end
// point in Width and Height), and its tab index, -1 where it has none.
struct Placed {
    Kind kind;
    const char *name;
    int left, top, width, height;
    int tab;
};
using Placements = std::vector<Placed>;

bool hasKind(QWidget *w, Kind kind)
{
    switch (kind) {
    case Kind::Button:
        return qobject_cast<QPushButton *>(w);
    case Kind::Label:
        return qobject_cast<DesignLabel *>(w);
    case Kind::Picture:
        return qobject_cast<DesignPicture *>(w);
    case Kind::Line:
        return qobject_cast<DesignLine *>(w);
    case Kind::TextBox:
        return qobject_cast<QLineEdit *>(w);
    case Kind::ScrollBar:
        return qobject_cast<QScrollBar *>(w);
    case Kind::MediaControl:
        return qobject_cast<media::MediaControl *>(w);
    case Kind::Dialog:
        return qobject_cast<media::FileOpenDialog *>(w);
    }
    return false;
}

const Placements kWavPlayer = {
    {Kind::ScrollBar, "hsbposition", 720, 2280, 3495, 255, 4},
    {Kind::Dialog, "CMDialog1", 0, 2760, 0, 0, -1},
    {Kind::Button, "cmdExit", 1440, 1560, 1695, 375, 3},
    {Kind::Button, "cmdStop", 2520, 360, 1695, 615, 2},
    {Kind::Button, "cmdPlay", 240, 360, 1575, 615, 1},
    {Kind::MediaControl, "MMControl1", 600, 2880, 3660, 375, 0},
    {Kind::Label, "Label8", 0, 2280, 615, 255, 12},
    {Kind::Label, "Label7", 2880, 2640, 495, 255, 11},
    {Kind::Label, "Label6", 1800, 2640, 495, 255, 10},
    {Kind::Label, "Label5", 1320, 2640, 615, 255, 9},
    {Kind::Label, "Label4", 960, 2640, 615, 255, 8},
    {Kind::Label, "Label3", 600, 2640, 735, 375, 7},
    {Kind::Label, "Label2", 600, 2640, 15, 135, 6},
    {Kind::Label, "Label1", 3360, 2640, 1095, 255, 5},
    {Kind::Picture, "Image2", 3840, 1560, 480, 480, -1},
    {Kind::Picture, "Image1", 360, 1560, 480, 480, -1},
    {Kind::Line, "Line1", 0, 0, 4800, 0, -1},
};

const Placements kMidiPlayer = {
    {Kind::TextBox, "txtbox", 600, 240, 3375, 735, 4},
    {Kind::ScrollBar, "hsbposition", 360, 1200, 3855, 255, 3},
    {Kind::Button, "cmdStop", 2640, 1680, 1215, 495, 2},
    {Kind::Button, "cmdPlay", 960, 1680, 1215, 495, 1},
    {Kind::Dialog, "cmdialog1", 120, 1680, 0, 0, -1},
    {Kind::MediaControl, "MMControl1", 720, 2520, 3360, 495, 0},
    {Kind::Line, "Line1", 0, 0, 4680, 0, -1},
};

const Placements kAviViewer = {
    {Kind::Dialog, "CMDialog1", 480, 1680, 0, 0, -1},
    {Kind::MediaControl, "MMControl1", 600, 2520, 3540, 375, 0},
    {Kind::Line, "Line1", 0, 0, 4680, 0, -1},
    {Kind::Picture, "Image1", 1320, 240, 1890, 1575, -1},
};

const Placements kCdPlayer = {
    {Kind::TextBox, "txtno", 3000, 480, 1215, 375, 3},
    {Kind::Dialog, "CommonDialog1", 240, 480, 0, 0, -1},
    {Kind::Button, "cmdExit", 2760, 1560, 1575, 375, 2},
    {Kind::Button, "cmdLoad", 360, 1560, 1575, 375, 1},
    {Kind::MediaControl, "MMControl1", 720, 2400, 3360, 495, 0},
    {Kind::Picture, "Image1", 1800, 240, 750, 750, -1},
};

// The controls that take the keyboard focus, in tab-index order: labels keep their tab
// indexes in the design but never take the focus.
QStringList tabOrder(const Placements &controls)
{
    std::vector<const Placed *> focusable;
    for (const Placed &c : controls)
        if (c.tab >= 0 && c.kind != Kind::Label)
            focusable.push_back(&c);
    std::sort(focusable.begin(), focusable.end(),
              [](const Placed *a, const Placed *b) { return a->tab < b->tab; });
    QStringList names;
    for (const Placed *c : focusable)
        names << QString::fromLatin1(c->name);
    return names;
}

} // namespace

Q_DECLARE_METATYPE(Placements)

class TestDesignBuilder : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { setUpApplication(*qApp); }

    void twipConversion_data();
    void twipConversion();
    void everyControlAtItsDesignPlace_data();
    void everyControlAtItsDesignPlace();
    void playerControlsAtTheirPlaces_data();
    void playerControlsAtTheirPlaces();
    void playerTabOrder_data() { playerControlsAtTheirPlaces_data(); }
    void playerTabOrder();
    void clientAreaHasDesignSize_data();
    void clientAreaHasDesignSize();
    void resizingMovesNothing();
    void onlyFocusableKindsTakeFocusInTabOrder();
    void picturesAtOwnSizeFirstFrame();
    void labelsWrapLeftAligned();
    void frameFontIsForItsCaptionOnly();
    void unknownControlNameIsAnError();
};

void TestDesignBuilder::twipConversion_data()
{
    QTest::addColumn<int>("twips");
    QTest::addColumn<int>("pixels");
    QTest::newRow("zero") << 0 << 0;
    QTest::newRow("exact") << 4680 << 312;
    QTest::newRow("round down") << 4687 << 312;
    QTest::newRow("round half up") << 7 << 0;
    QTest::newRow("half") << 8 << 1;
    QTest::newRow("negative") << -30 << -2;
}

void TestDesignBuilder::twipConversion()
{
    QFETCH(int, twips);
    QFETCH(int, pixels);
    QCOMPARE(twipsToPixels(twips), pixels);
}

void TestDesignBuilder::everyControlAtItsDesignPlace_data()
{
    QTest::addColumn<WindowClass>("window");
    QTest::newRow("frmkivo") << WindowClass::MainMenu;
    QTest::newRow("frmAbout") << WindowClass::About;
}

void TestDesignBuilder::everyControlAtItsDesignPlace()
{
    QFETCH(WindowClass, window);
    WindowRegistry registry(kitWindowFactories());
    DesignedWindow &w = registry.get(window);
    const WindowDesign d =
        window == WindowClass::MainMenu ? MainMenuWindow::design() : AboutWindow::design();
    // Exactly the design's controls, no more: every named widget in the client area is one.
    QStringList named;
    for (QWidget *c : w.clientArea()->findChildren<QWidget *>())
        if (!c->objectName().isEmpty() && !c->objectName().startsWith(QLatin1String("qt_")))
            named << c->objectName();
    QCOMPARE(named.size(), int(d.controls.size()));
    for (const ControlDesign &c : d.controls) {
        QWidget *widget = w.control(c.name);
        QVERIFY2(widget, qPrintable(c.name));
        if (c.kind == ControlKind::Line) {
            auto *l = qobject_cast<DesignLine *>(widget);
            QVERIFY(l);
            QCOMPARE(l->from(), QPoint(twipsToPixels(c.left), twipsToPixels(c.top)));
            QCOMPARE(l->to(),
                     QPoint(twipsToPixels(c.left + c.width), twipsToPixels(c.top + c.height)));
            QCOMPARE(widget->parentWidget(), w.clientArea());
            continue;
        }
        const QRect designed(c.left / 15, c.top / 15, c.width / 15, c.height / 15);
        if (c.kind == ControlKind::Label) {
            // A label may only grow downwards, to show a taller substitute face's last line.
            QCOMPARE(widget->pos(), designed.topLeft());
            QCOMPARE(widget->width(), designed.width());
            QVERIFY(widget->height() >= designed.height());
        } else {
            QCOMPARE(widget->geometry(), designed);
        }
        QWidget *expectedParent = c.container.isEmpty() ? w.clientArea() : w.control(c.container);
        QCOMPARE(widget->parentWidget(), expectedParent);
    }
}

void TestDesignBuilder::playerControlsAtTheirPlaces_data()
{
    QTest::addColumn<WindowClass>("window");
    QTest::addColumn<Placements>("controls");
    QTest::newRow("frmMyWav") << WindowClass::WavPlayer << kWavPlayer;
    QTest::newRow("frmMidi") << WindowClass::MidiPlayer << kMidiPlayer;
    QTest::newRow("frmPlayavi") << WindowClass::AviViewer << kAviViewer;
    QTest::newRow("frmCD") << WindowClass::CdPlayer << kCdPlayer;
}

void TestDesignBuilder::playerControlsAtTheirPlaces()
{
    QFETCH(WindowClass, window);
    QFETCH(Placements, controls);
    WindowRegistry registry(kitWindowFactories());
    DesignedWindow &w = registry.get(window);
    QStringList named;
    for (QWidget *c : w.clientArea()->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
        if (!c->objectName().startsWith(QLatin1String("qt_")))
            named << c->objectName();
    QStringList expected;
    for (const Placed &c : controls)
        expected << QString::fromLatin1(c.name);
    named.sort();
    expected.sort();
    QCOMPARE(named, expected);

    for (const Placed &c : controls) {
        const QString name = QString::fromLatin1(c.name);
        QWidget *widget = w.control(name);
        QVERIFY2(hasKind(widget, c.kind), c.name);
        const QPoint topLeft(c.left / 15, c.top / 15);
        if (c.kind == Kind::Line) {
            auto *l = static_cast<DesignLine *>(widget);
            QCOMPARE(l->from(), topLeft);
            QCOMPARE(l->to(), QPoint(c.width / 15, c.height / 15));
        } else if (c.kind == Kind::Dialog) {
            // Only its place is designed; nothing of it shows.
            QCOMPARE(widget->pos(), topLeft);
            QVERIFY2(widget->isHidden(), c.name);
        } else if (c.kind == Kind::Label) {
            // A label may only grow downwards, to show a taller substitute face's last line.
            QCOMPARE(widget->pos(), topLeft);
            QCOMPARE(widget->width(), c.width / 15);
            QVERIFY(widget->height() >= c.height / 15);
        } else {
            QCOMPARE(widget->geometry(), QRect(topLeft, QSize(c.width / 15, c.height / 15)));
        }
        const bool takesFocus = c.tab >= 0 && c.kind != Kind::Label;
        QCOMPARE(widget->focusPolicy() != Qt::NoFocus, takesFocus);
    }
}

void TestDesignBuilder::playerTabOrder()
{
    QFETCH(WindowClass, window);
    QFETCH(Placements, controls);
    const QStringList order = tabOrder(controls);
    WindowRegistry registry(kitWindowFactories());
    DesignedWindow &w = registry.get(window);
    w.show();
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    // The window opens with the focus on tab index 0; Tab goes through the focusable controls
    // in tab-index order and comes round to the first.
    QStringList visited;
    for (qsizetype i = 0; i <= order.size(); ++i) {
        QWidget *focus = QApplication::focusWidget();
        QVERIFY2(focus, "nothing has the focus");
        visited << focus->objectName();
        QTest::keyClick(focus, Qt::Key_Tab);
    }
    QCOMPARE(visited, order + QStringList{order.front()});
}

void TestDesignBuilder::clientAreaHasDesignSize_data()
{
    QTest::addColumn<WindowClass>("window");
    QTest::addColumn<QSize>("twips");
    QTest::newRow("frmkivo") << WindowClass::MainMenu << QSize(4680, 3195);
    QTest::newRow("frmPlayavi") << WindowClass::AviViewer << QSize(4680, 3195);
    QTest::newRow("frmCD") << WindowClass::CdPlayer << QSize(4680, 3195);
    QTest::newRow("frmMyWav") << WindowClass::WavPlayer << QSize(4740, 3270);
    QTest::newRow("frmMidi") << WindowClass::MidiPlayer << QSize(4680, 3195);
    QTest::newRow("frmAbout") << WindowClass::About << QSize(4680, 3195);
}

void TestDesignBuilder::clientAreaHasDesignSize()
{
    QFETCH(WindowClass, window);
    QFETCH(QSize, twips);
    WindowRegistry registry(kitWindowFactories());
    DesignedWindow &w = registry.get(window);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QCOMPARE(w.clientArea()->size(), QSize(twips.width() / 15, twips.height() / 15));
    // An ordinary sizable top-level window with minimize and maximize buttons.
    QVERIFY(w.isWindow());
    QVERIFY(w.windowFlags() & Qt::WindowMinimizeButtonHint);
    QVERIFY(w.windowFlags() & Qt::WindowMaximizeButtonHint);
    QVERIFY(w.minimumSize().width() < w.width() || w.minimumSize().isNull());
    QCOMPARE(w.maximumSize(), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
}

void TestDesignBuilder::resizingMovesNothing()
{
    WindowRegistry registry(kitWindowFactories());
    DesignedWindow &w = registry.get(WindowClass::MainMenu);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QHash<QString, QRect> before;
    for (QWidget *c : w.clientArea()->findChildren<QWidget *>())
        before.insert(c->objectName(), c->geometry());
    w.resize(w.width() * 2, w.height() * 2);
    QTest::qWait(20);
    w.showMaximized();
    QTest::qWait(20);
    w.resize(100, 80);
    QTest::qWait(20);
    for (QWidget *c : w.clientArea()->findChildren<QWidget *>())
        QCOMPARE(c->geometry(), before.value(c->objectName()));
}

void TestDesignBuilder::onlyFocusableKindsTakeFocusInTabOrder()
{
    WindowRegistry registry(kitWindowFactories());
    DesignedWindow &main = registry.get(WindowClass::MainMenu);
    for (QWidget *c : main.clientArea()->findChildren<QWidget *>()) {
        if (c->objectName() == QLatin1String("cmdExit"))
            QCOMPARE(c->focusPolicy(), Qt::StrongFocus);
        else
            QCOMPARE(c->focusPolicy(), Qt::NoFocus);
    }
    // A window with several focusable controls: the chain follows the tab indexes.
    WindowDesign d;
    d.name = QStringLiteral("frmOrder");
    d.clientWidth = d.clientHeight = 3000;
    d.controls = {commandButton(QStringLiteral("c"), 0, 0, 600, 300, 2, QStringLiteral("C")),
                  label(QStringLiteral("l"), 0, 300, 600, 300, 0, QStringLiteral("L")),
                  textBox(QStringLiteral("a"), 0, 600, 600, 300, 0, QStringLiteral("A")),
                  hScrollBar(QStringLiteral("b"), 0, 900, 600, 300, 1)};
    struct Plain : DesignedWindow {
        using DesignedWindow::DesignedWindow;
        void closeRequested() override {}
    } w(d);
    QCOMPARE(w.control("a")->nextInFocusChain(), w.control("b"));
    QCOMPARE(w.control("b")->nextInFocusChain(), w.control("c"));
    QCOMPARE(w.control("l")->focusPolicy(), Qt::NoFocus);
}

void TestDesignBuilder::picturesAtOwnSizeFirstFrame()
{
    WindowRegistry registry(kitWindowFactories());
    DesignedWindow &main = registry.get(WindowClass::MainMenu);
    const std::pair<const char *, QSize> pictures[] = {
        {"Image1", {34, 35}}, {"Image2", {31, 34}}, {"Image3", {32, 32}}, {"Image4", {33, 37}}};
    for (const auto &[name, size] : pictures) {
        auto *p = main.control<DesignPicture>(QString::fromLatin1(name));
        QCOMPARE(p->image().size(), size);
        QCOMPARE(p->size(), size); // the box is exactly the picture
        QVERIFY(!p->hasScaledContents());
        QCOMPARE(p->frameShape(), QFrame::NoFrame);
    }
    DesignedWindow &avi = registry.get(WindowClass::AviViewer);
    auto *tv = avi.control<DesignPicture>(QStringLiteral("Image1"));
    QCOMPARE(tv->image().size(), QSize(131, 106)); // the first frame on its logical screen
}

void TestDesignBuilder::labelsWrapLeftAligned()
{
    WindowRegistry registry(kitWindowFactories());
    DesignedWindow &main = registry.get(WindowClass::MainMenu);
    for (DesignLabel *l : main.clientArea()->findChildren<DesignLabel *>()) {
        QVERIFY(l->wordWrap());
        QCOMPARE(l->alignment(), Qt::AlignLeft | Qt::AlignTop);
    }
}

void TestDesignBuilder::frameFontIsForItsCaptionOnly()
{
    WindowRegistry registry(kitWindowFactories());
    DesignedWindow &about = registry.get(WindowClass::About);
    auto *frame = about.control<QGroupBox>(QStringLiteral("Frame1"));
    QCOMPARE(frame->font().weight(), QFont::Bold);
    for (const char *name : {"Label1", "Label2", "Label3", "Label4", "cmdBack"})
        QCOMPARE(about.control(QString::fromLatin1(name))->font().weight(), QFont::Normal);
}

void TestDesignBuilder::unknownControlNameIsAnError()
{
    WindowRegistry registry(kitWindowFactories());
    DesignedWindow &main = registry.get(WindowClass::MainMenu);
    QVERIFY_THROWS_EXCEPTION(std::logic_error, main.control(QStringLiteral("cmdNothing")));
    QVERIFY_THROWS_EXCEPTION(std::logic_error, main.control<QPushButton>(QStringLiteral("Label1")));
}

QTEST_MAIN(TestDesignBuilder)
#include "tst_designbuilder.moc"
