// Moving between the kit's windows: every navigation entry, the order of show and hide, the
// single instance per window class, End program and the title-bar close button.

#include "app/ApplicationSetup.h"
#include "app/DesignLabel.h"
#include "app/DesignPicture.h"
#include "app/KitWindow.h"
#include "app/KitWindows.h"
#include "app/Program.h"
#include "app/WindowRegistry.h"

#include <QAction>
#include <QApplication>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

using namespace zyr;

Q_DECLARE_METATYPE(zyr::WindowClass)

namespace {

// Records the Show and Hide events of the windows it watches, in the order they happen.
class ShowHideRecorder : public QObject {
public:
    QStringList events;
    void watch(QWidget *w) { w->installEventFilter(this); }

protected:
    bool eventFilter(QObject *o, QEvent *e) override
    {
        if (e->type() == QEvent::Show)
            events << QStringLiteral("show ") + o->objectName();
        else if (e->type() == QEvent::Hide)
            events << QStringLiteral("hide ") + o->objectName();
        return false;
    }
};

// Triggers a navigation entry the way the user does: a click on a picture or label, a click on
// a button, or choosing a menu entry.
void trigger(DesignedWindow &window, const QString &entry)
{
    QWidget *w = nullptr;
    try {
        w = window.control(entry);
    } catch (const std::logic_error &) {
        window.menuItem(entry)->trigger();
        return;
    }
    QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(2, 2));
}

// A window with a counting load handler, to see how often the registry runs it.
class CountingWindow : public KitWindow {
public:
    CountingWindow(WindowRegistry &r, WindowClass c, int &loads)
        : KitWindow(r, c, makeDesign(c)), m_loads(loads)
    {
    }
    void formLoad() override { ++m_loads; }

private:
    static WindowDesign makeDesign(WindowClass c)
    {
        WindowDesign d;
        d.name = zyr::designName(c);
        d.caption = d.name;
        d.clientWidth = 1500;
        d.clientHeight = 1500;
        return d;
    }
    int &m_loads;
};

} // namespace

class TestNavigation : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { setUpApplication(*qApp); }
    void init() { Program::resetForTesting(); }

    void forwardEntries_data();
    void forwardEntries();
    void returnEntries_data();
    void returnEntries();
    void sameInstanceByEveryEntryOfARow();
    void loadHandlerRunsOnceBeforeFirstShow();
    void creatingDoesNotShow();
    void exitEndsProgramEvenWithHiddenPlayers_data();
    void exitEndsProgramEvenWithHiddenPlayers();
    void exitLeavesTheEventLoop();
    void closeButton_data();
    void closeButton();
    void exceptionInHandlerIsFatal();
};

void TestNavigation::forwardEntries_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<WindowClass>("target");
    const std::pair<const char *, WindowClass> rows[] = {
        {"Image1", WindowClass::AviViewer},  {"Label2", WindowClass::AviViewer},
        {"mnuAvi", WindowClass::AviViewer},  {"Image2", WindowClass::CdPlayer},
        {"Label3", WindowClass::CdPlayer},   {"mnuCd", WindowClass::CdPlayer},
        {"Image3", WindowClass::WavPlayer},  {"Label4", WindowClass::WavPlayer},
        {"mnuWav", WindowClass::WavPlayer},  {"Image4", WindowClass::MidiPlayer},
        {"Label5", WindowClass::MidiPlayer}, {"mnuMidi", WindowClass::MidiPlayer},
        {"mnuAbout", WindowClass::About},
    };
    for (const auto &[entry, target] : rows)
        QTest::newRow(entry) << QString::fromLatin1(entry) << target;
}

void TestNavigation::forwardEntries()
{
    QFETCH(QString, entry);
    QFETCH(WindowClass, target);

    WindowRegistry registry(kitWindowFactories());
    DesignedWindow &mainMenu = registry.get(WindowClass::MainMenu);
    WindowRegistry::show(mainMenu);
    ShowHideRecorder recorder;
    recorder.watch(&mainMenu);
    QVERIFY(!registry.exists(target));

    trigger(mainMenu, entry);

    QVERIFY(registry.exists(target));
    DesignedWindow &window = registry.get(target);
    QVERIFY(window.isVisible());
    QVERIFY(!mainMenu.isVisible());
    QCOMPARE(window.objectName(), designName(target));
    // No other window was created on the way.
    for (WindowClass c : kAllWindowClasses)
        QCOMPARE(registry.exists(c), c == target || c == WindowClass::MainMenu);
    QCOMPARE(recorder.events, QStringList{QStringLiteral("hide frmkivo")});
    QVERIFY(!Program::ending());
}

void TestNavigation::returnEntries_data()
{
    QTest::addColumn<WindowClass>("window");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<bool>("hideFirst");
    QTest::newRow("frmPlayavi mnuExit") << WindowClass::AviViewer << "mnuExit" << false;
    QTest::newRow("frmCD cmdExit") << WindowClass::CdPlayer << "cmdExit" << false;
    QTest::newRow("frmMyWav cmdExit") << WindowClass::WavPlayer << "cmdExit" << false;
    QTest::newRow("frmMyWav mnuExit") << WindowClass::WavPlayer << "mnuExit" << false;
    QTest::newRow("frmMidi mnuExit") << WindowClass::MidiPlayer << "mnuExit" << true;
    QTest::newRow("frmAbout cmdBack") << WindowClass::About << "cmdBack" << false;
}

void TestNavigation::returnEntries()
{
    QFETCH(WindowClass, window);
    QFETCH(QString, entry);
    QFETCH(bool, hideFirst);

    WindowRegistry registry(kitWindowFactories());
    DesignedWindow &mainMenu = registry.get(WindowClass::MainMenu);
    WindowRegistry::show(mainMenu);
    DesignedWindow &player = registry.get(window);
    WindowRegistry::show(player);
    WindowRegistry::hide(mainMenu);

    ShowHideRecorder recorder;
    recorder.watch(&mainMenu);
    recorder.watch(&player);
    trigger(player, entry);

    QVERIFY(mainMenu.isVisible());
    QVERIFY(!player.isVisible());
    const QString show = QStringLiteral("show frmkivo");
    const QString hide = QStringLiteral("hide ") + designName(window);
    const QStringList expected = hideFirst ? QStringList{hide, show} : QStringList{show, hide};
    QCOMPARE(recorder.events, expected);
}

void TestNavigation::sameInstanceByEveryEntryOfARow()
{
    WindowRegistry registry(kitWindowFactories());
    DesignedWindow &mainMenu = registry.get(WindowClass::MainMenu);
    WindowRegistry::show(mainMenu);

    trigger(mainMenu, QStringLiteral("Image3"));
    DesignedWindow *first = &registry.get(WindowClass::WavPlayer);
    first->setWindowTitle(QStringLiteral("left as it was"));
    trigger(*first, QStringLiteral("cmdExit"));
    trigger(mainMenu, QStringLiteral("mnuWav"));
    QCOMPARE(&registry.get(WindowClass::WavPlayer), first);
    QCOMPARE(first->windowTitle(), QStringLiteral("left as it was"));
    QVERIFY(first->isVisible());
    trigger(*first, QStringLiteral("mnuExit"));
    trigger(mainMenu, QStringLiteral("Label4"));
    QCOMPARE(&registry.get(WindowClass::WavPlayer), first);

    trigger(mainMenu, QStringLiteral("mnuAbout")); // main menu is hidden: entry still works
    DesignedWindow *about = &registry.get(WindowClass::About);
    trigger(*about, QStringLiteral("cmdBack"));
    trigger(mainMenu, QStringLiteral("mnuAbout"));
    QCOMPARE(&registry.get(WindowClass::About), about);
    QVERIFY(about->isVisible());
}

void TestNavigation::loadHandlerRunsOnceBeforeFirstShow()
{
    int loads = 0;
    WindowRegistry::Factories f = kitWindowFactories();
    bool visibleAtLoad = true;
    f[static_cast<std::size_t>(WindowClass::WavPlayer)] = [&](WindowRegistry &r) {
        auto w = std::make_unique<CountingWindow>(r, WindowClass::WavPlayer, loads);
        visibleAtLoad = w->isVisible();
        return w;
    };
    WindowRegistry registry(std::move(f));
    DesignedWindow &mainMenu = registry.get(WindowClass::MainMenu);
    WindowRegistry::show(mainMenu);

    trigger(mainMenu, QStringLiteral("Image3"));
    QCOMPARE(loads, 1);
    QVERIFY(!visibleAtLoad);
    WindowRegistry::hide(registry.get(WindowClass::WavPlayer));
    trigger(mainMenu, QStringLiteral("mnuWav"));
    trigger(mainMenu, QStringLiteral("Label4"));
    QCOMPARE(loads, 1);
}

void TestNavigation::creatingDoesNotShow()
{
    WindowRegistry registry(kitWindowFactories());
    for (WindowClass c : kAllWindowClasses)
        QVERIFY(!registry.get(c).isVisible());
}

void TestNavigation::exitEndsProgramEvenWithHiddenPlayers_data()
{
    QTest::addColumn<QString>("entry");
    QTest::newRow("button") << "cmdExit";
    QTest::newRow("menu") << "mnuExit";
}

void TestNavigation::exitEndsProgramEvenWithHiddenPlayers()
{
    QFETCH(QString, entry);
    WindowRegistry registry(kitWindowFactories());
    DesignedWindow &mainMenu = registry.get(WindowClass::MainMenu);
    WindowRegistry::show(mainMenu);
    trigger(mainMenu, QStringLiteral("mnuMidi"));
    trigger(registry.get(WindowClass::MidiPlayer), QStringLiteral("mnuExit"));
    trigger(mainMenu, QStringLiteral("mnuAbout"));
    trigger(registry.get(WindowClass::About), QStringLiteral("cmdBack"));

    trigger(mainMenu, entry);
    QVERIFY(Program::ending());
    QCOMPARE(Program::exitStatus(), 0);
    for (WindowClass c : kAllWindowClasses)
        if (registry.exists(c))
            QVERIFY(!registry.get(c).isVisible());

    // No further handler runs once the program is ending.
    trigger(mainMenu, QStringLiteral("mnuCd"));
    QVERIFY(!registry.exists(WindowClass::CdPlayer));
}

void TestNavigation::exitLeavesTheEventLoop()
{
    WindowRegistry registry(kitWindowFactories());
    DesignedWindow &mainMenu = registry.get(WindowClass::MainMenu);
    WindowRegistry::show(mainMenu);
    QVERIFY(QTest::qWaitForWindowActive(&mainMenu));
    bool watchdogFired = false;
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [&] {
        watchdogFired = true;
        QCoreApplication::exit(99);
    });
    watchdog.start(5000);
    bool pressed = false;
    QTimer::singleShot(0, [&] {
        // Alt+X presses the Exit button.
        pressed = true;
        QTest::keySequence(mainMenu.windowHandle(), QKeySequence(QStringLiteral("Alt+X")));
    });
    const int status = QCoreApplication::exec();
    QVERIFY(pressed);
    QVERIFY(!watchdogFired);
    QVERIFY(Program::ending());
    QCOMPARE(status, 0);
}

void TestNavigation::closeButton_data()
{
    QTest::addColumn<WindowClass>("window");
    for (WindowClass c : kAllWindowClasses)
        QTest::newRow(qPrintable(designName(c))) << c;
}

void TestNavigation::closeButton()
{
    QFETCH(WindowClass, window);
    WindowRegistry registry(kitWindowFactories());
    DesignedWindow &mainMenu = registry.get(WindowClass::MainMenu);
    DesignedWindow &w = registry.get(window);
    WindowRegistry::show(w);
    if (window != WindowClass::MainMenu)
        WindowRegistry::hide(mainMenu);

    QVERIFY(!w.close()); // the close event itself is refused; the window decides

    if (window == WindowClass::MainMenu) {
        QVERIFY(Program::ending());
        QCOMPARE(Program::exitStatus(), 0);
        QVERIFY(!mainMenu.isVisible());
    } else {
        QVERIFY(!Program::ending());
        QVERIFY(mainMenu.isVisible());
        QVERIFY(!w.isVisible());
        QCOMPARE(&registry.get(window), &w);
    }
}

void TestNavigation::exceptionInHandlerIsFatal()
{
    QStringList shown;
    Program::setFatalErrorPresenter([&](const QString &m) { shown << m; });
    WindowRegistry::Factories f = kitWindowFactories();
    f[static_cast<std::size_t>(WindowClass::CdPlayer)] =
        [](WindowRegistry &) -> std::unique_ptr<DesignedWindow> {
        throw std::runtime_error("the CD player could not be made");
    };
    WindowRegistry registry(std::move(f));
    DesignedWindow &mainMenu = registry.get(WindowClass::MainMenu);
    WindowRegistry::show(mainMenu);

    trigger(mainMenu, QStringLiteral("Label3"));

    Program::setFatalErrorPresenter({});
    QCOMPARE(shown, QStringList{QStringLiteral("the CD player could not be made")});
    QVERIFY(Program::ending());
    QCOMPARE(Program::exitStatus(), 1);
    QVERIFY(!mainMenu.isVisible());
}

QTEST_MAIN(TestNavigation)
#include "tst_navigation.moc"
