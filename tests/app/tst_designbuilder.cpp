// The window-design builder, checked on whole windows: geometry in twips, client size, focus,
// pictures at their own size, labels that wrap, access keys, and that resizing moves nothing.
// Every window is checked against its design control by control, and the players' Tab order
// by pressing Tab.

#include "app/ApplicationSetup.h"
#include "app/DesignLabel.h"
#include "app/DesignLine.h"
#include "app/DesignPicture.h"
#include "app/DesignScrollBar.h"
#include "app/KitWindows.h"
#include "app/Twips.h"
#include "app/WindowRegistry.h"
#include "players/AviViewerWindow.h"
#include "players/CdPlayerWindow.h"
#include "players/MidiPlayerWindow.h"
#include "players/WavPlayerWindow.h"
#include "windows/AboutWindow.h"
#include "windows/MainMenuWindow.h"

#include <QApplication>
#include <QGroupBox>
#include <QPushButton>
#include <QScreen>
#include <QtTest>

#include <algorithm>
#include <utility>
#include <vector>

using namespace zyr;

Q_DECLARE_METATYPE(zyr::WindowClass)

namespace {

// The design each window is built from.
WindowDesign designOf(WindowClass window)
{
    switch (window) {
    case WindowClass::MainMenu:
        return MainMenuWindow::design();
    case WindowClass::About:
        return AboutWindow::design();
    case WindowClass::WavPlayer:
        return WavPlayerWindow::design();
    case WindowClass::MidiPlayer:
        return MidiPlayerWindow::design();
    case WindowClass::AviViewer:
        return AviViewerWindow::design();
    case WindowClass::CdPlayer:
        return CdPlayerWindow::design();
    }
    return {};
}

// The controls the focus visits, in tab-index order: labels pass it on, hidden ones have none.
QStringList tabOrder(const WindowDesign &design)
{
    std::vector<const ControlDesign *> focusable;
    for (const ControlDesign &c : design.controls)
        if (c.tabIndex >= 0 && c.kind != ControlKind::Label && c.visibleAtRunTime)
            focusable.push_back(&c);
    std::stable_sort(focusable.begin(), focusable.end(),
                     [](const auto *a, const auto *b) { return a->tabIndex < b->tabIndex; });
    QStringList names;
    for (const ControlDesign *c : focusable)
        names << c->name;
    return names;
}

} // namespace

class TestDesignBuilder : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { setUpApplication(*qApp); }

    void twipConversion_data();
    void twipConversion();
    void everyControlAtItsDesignPlace_data();
    void everyControlAtItsDesignPlace();
    void playerTabOrder_data();
    void playerTabOrder();
    void clientAreaHasDesignSize_data();
    void clientAreaHasDesignSize();
    void resizingMovesNothing();
    void onlyFocusableKindsTakeFocusInTabOrder();
    void picturesAtOwnSizeFirstFrame();
    void labelsWrapLeftAligned();
    void frameFontIsForItsCaptionOnly();
    void unknownControlNameIsAnError();
    void scrollBarRepaintsOnlyWhenItsLookChanges();
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
    QTest::newRow("frmMyWav") << WindowClass::WavPlayer;
    QTest::newRow("frmMidi") << WindowClass::MidiPlayer;
    QTest::newRow("frmPlayavi") << WindowClass::AviViewer;
    QTest::newRow("frmCD") << WindowClass::CdPlayer;
}

void TestDesignBuilder::everyControlAtItsDesignPlace()
{
    QFETCH(WindowClass, window);
    WindowRegistry registry(kitWindowFactories());
    DesignedWindow &w = registry.get(window);
    const WindowDesign d = designOf(window);
    // Exactly the design's controls, no more: every named widget in the client area or in one
    // of its frames is one (a component's own parts are not).
    QStringList named;
    for (QWidget *c : w.clientArea()->findChildren<QWidget *>()) {
        const bool placed = c->parentWidget() == w.clientArea() ||
                            qobject_cast<QGroupBox *>(c->parentWidget()) != nullptr;
        if (placed && !c->objectName().isEmpty() &&
            !c->objectName().startsWith(QLatin1String("qt_")))
            named << c->objectName();
    }
    QCOMPARE(named.size(), int(d.controls.size()));
    for (const ControlDesign &c : d.controls) {
        QWidget *widget = w.control(c.name);
        QVERIFY2(widget, qPrintable(c.name));
        const bool takesFocus = c.tabIndex >= 0 && c.kind != ControlKind::Label;
        QVERIFY2((widget->focusPolicy() != Qt::NoFocus) == takesFocus, qPrintable(c.name));
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
        if (c.kind == ControlKind::Label || !c.visibleAtRunTime) {
            // A label may only grow downwards, to show a taller substitute face's last line;
            // of a component that works behind the scenes only the place is designed.
            QCOMPARE(widget->pos(), designed.topLeft());
            QVERIFY2(c.visibleAtRunTime || widget->isHidden(), qPrintable(c.name));
            if (c.kind == ControlKind::Label) {
                QCOMPARE(widget->width(), designed.width());
                QVERIFY(widget->height() >= designed.height());
            }
        } else {
            QCOMPARE(widget->geometry(), designed);
        }
        QWidget *expectedParent = c.container.isEmpty() ? w.clientArea() : w.control(c.container);
        QCOMPARE(widget->parentWidget(), expectedParent);
    }
}

void TestDesignBuilder::playerTabOrder_data()
{
    QTest::addColumn<WindowClass>("window");
    QTest::newRow("frmMyWav") << WindowClass::WavPlayer;
    QTest::newRow("frmMidi") << WindowClass::MidiPlayer;
    QTest::newRow("frmPlayavi") << WindowClass::AviViewer;
    QTest::newRow("frmCD") << WindowClass::CdPlayer;
}

void TestDesignBuilder::playerTabOrder()
{
    QFETCH(WindowClass, window);
    const QStringList order = tabOrder(designOf(window));
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

void TestDesignBuilder::scrollBarRepaintsOnlyWhenItsLookChanges()
{
    // A player's bar on a long medium: 32767 steps over a few hundred pixels.
    struct PaintCounter : QObject {
        int paints = 0;
        bool eventFilter(QObject *, QEvent *event) override
        {
            paints += event->type() == QEvent::Paint;
            return false;
        }
    } counter;
    QWidget window;
    window.resize(320, 40);
    auto *bar = new DesignScrollBar(Qt::Horizontal, &window);
    bar->setGeometry(10, 10, 300, 17);
    bar->setRange(0, 32767);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    bar->installEventFilter(&counter);
    const auto settle = [&] {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        return std::exchange(counter.paints, 0);
    };
    settle();

    // Small steps until the thumb has moved some pixels: far fewer paints than steps, but one
    // at least per move.
    QSignalSpy changed(bar, &QScrollBar::valueChanged);
    int paints = 0;
    int steps = 0;
    for (int value = 10; value <= 2000; value += 10, ++steps) {
        bar->setValue(value);
        paints += settle();
    }
    QCOMPARE(changed.size(), steps); // every step is still a change of value
    QVERIFY2(paints >= 3 && paints < steps / 4,
             qPrintable(QStringLiteral("%1 paints for %2 steps").arg(paints).arg(steps)));

    // What is on the screen is what a fresh bar shows at that value, at the ends too.
    for (const int value : {2000, 32767, 0}) {
        bar->setValue(value);
        settle();
        QScrollBar fresh(Qt::Horizontal);
        fresh.resize(bar->size());
        fresh.setRange(0, 32767);
        fresh.setValue(value);
        const QImage shown =
            window.screen()
                ->grabWindow(window.winId(), bar->x(), bar->y(), bar->width(), bar->height())
                .toImage();
        QCOMPARE(shown.convertToFormat(QImage::Format_RGB32),
                 fresh.grab().toImage().convertToFormat(QImage::Format_RGB32));
    }
}

QTEST_MAIN(TestDesignBuilder)
#include "tst_designbuilder.moc"
