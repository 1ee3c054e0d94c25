// The players for users of the keyboard and of assistive tools: every button of the media
// device control carries a name and a description, the position bars and status boxes are
// named, and the control is one stop in the focus order whose buttons the arrow keys walk
// and Space or Enter press, with the window's handlers running as for a click.

#include "app/ApplicationSetup.h"
#include "app/DesignedWindow.h"
#include "app/KitWindows.h"
#include "app/MessageBox.h"
#include "app/Program.h"
#include "app/WindowRegistry.h"
#include "media/control/FakeDevice.h"
#include "media/FileOpenDialog.h"
#include "media/MediaButtonWidget.h"
#include "media/MediaControl.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QtTest>

using namespace zyr;
using media::MediaButton;
using media::MediaControl;

Q_DECLARE_METATYPE(zyr::WindowClass)

namespace {

QString accessibleText(QWidget *widget, QAccessible::Text what)
{
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(widget);
    return iface ? iface->text(what) : QString();
}

} // namespace

class TestPlayerAccessibility : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void everyButtonHasANameAndADescription_data();
    void everyButtonHasANameAndADescription();
    void barsAndStatusBoxesAreNamed_data();
    void barsAndStatusBoxesAreNamed();
    void keyboardReachesWalksAndPressesTheButtons();

private:
    std::unique_ptr<WindowRegistry> m_registry;
};

void TestPlayerAccessibility::initTestCase()
{
    setUpApplication(*qApp);
    MessageBox::setPresenter([](const QString &text, const QString &title) {
        QFAIL(qPrintable(QStringLiteral("unexpected message box: ") + title + ": " + text));
    });
}

void TestPlayerAccessibility::init()
{
    Program::resetForTesting();
    m_registry = std::make_unique<WindowRegistry>(kitWindowFactories());
    WindowRegistry::show(m_registry->get(WindowClass::MainMenu));
}

void TestPlayerAccessibility::cleanup()
{
    m_registry.reset();
}

void TestPlayerAccessibility::everyButtonHasANameAndADescription_data()
{
    QTest::addColumn<WindowClass>("player");
    QTest::newRow("WAV") << WindowClass::WavPlayer;
    QTest::newRow("MIDI") << WindowClass::MidiPlayer;
    QTest::newRow("AVI") << WindowClass::AviViewer;
    QTest::newRow("CD") << WindowClass::CdPlayer;
}

void TestPlayerAccessibility::everyButtonHasANameAndADescription()
{
    QFETCH(WindowClass, player);
    auto &mm = *m_registry->get(player).control<MediaControl>(QStringLiteral("MMControl1"));
    QCOMPARE(accessibleText(&mm, QAccessible::Name), QStringLiteral("Media controls"));
    QSet<QString> names;
    QSet<QString> descriptions;
    for (const media::MediaButtonInfo &info : media::kMediaButtons) {
        media::MediaButtonWidget *button = mm.button(info.button);
        const QString name = accessibleText(button, QAccessible::Name);
        const QString description = accessibleText(button, QAccessible::Description);
        QCOMPARE(name, QLatin1String(info.accessibleName));
        QVERIFY2(description.size() > name.size(), qPrintable(name));
        QCOMPARE(QAccessible::queryAccessibleInterface(button)->role(), QAccessible::Button);
        names << name;
        descriptions << description;
    }
    // Nine buttons, nine things they do: no two alike.
    QCOMPARE(names.size(), 9);
    QCOMPARE(descriptions.size(), 9);
    QCOMPARE(accessibleText(mm.button(MediaButton::Prev), QAccessible::Name),
             QStringLiteral("Previous"));
    QCOMPARE(accessibleText(mm.button(MediaButton::Eject), QAccessible::Name),
             QStringLiteral("Eject"));
}

void TestPlayerAccessibility::barsAndStatusBoxesAreNamed_data()
{
    QTest::addColumn<WindowClass>("player");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("name");
    QTest::newRow("WAV bar") << WindowClass::WavPlayer << "hsbposition"
                             << "Position";
    QTest::newRow("MIDI bar") << WindowClass::MidiPlayer << "hsbposition"
                              << "Position";
    QTest::newRow("MIDI status") << WindowClass::MidiPlayer << "txtbox"
                                 << "Status";
    QTest::newRow("CD status") << WindowClass::CdPlayer << "txtno"
                               << "Status";
}

void TestPlayerAccessibility::barsAndStatusBoxesAreNamed()
{
    QFETCH(WindowClass, player);
    QFETCH(QString, control);
    QFETCH(QString, name);
    QWidget *widget = m_registry->get(player).control(control);
    QCOMPARE(accessibleText(widget, QAccessible::Name), name);
}

void TestPlayerAccessibility::keyboardReachesWalksAndPressesTheButtons()
{
    m_registry->get(WindowClass::MainMenu).menuItem(QStringLiteral("mnuMidi"))->trigger();
    DesignedWindow &window = m_registry->get(WindowClass::MidiPlayer);
    QVERIFY(QTest::qWaitForWindowActive(&window));
    auto &mm = *window.control<MediaControl>(QStringLiteral("MMControl1"));
    const auto status = [&] { return window.control<QLineEdit>(QStringLiteral("txtbox"))->text(); };
    test::FakeDevice *fake = nullptr;
    mm.setDeviceContext({{}, [&fake](const QString &) {
                             auto d = std::make_unique<test::FakeDevice>();
                             fake = d.get();
                             return std::unique_ptr<media::MediaDevice>(std::move(d));
                         }});
    window.control<media::FileOpenDialog>(QStringLiteral("cmdialog1"))
        ->setPresenter([](const media::FileOpenDialog::Request &) {
            return std::optional<QString>(QStringLiteral("song.mid"));
        });
    window.menuItem(QStringLiteral("mnuOpen"))->trigger();
    QVERIFY(fake);

    // The last stop of the focus order leads round to the control, its first.
    window.control(QStringLiteral("txtbox"))->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), &mm);
    // The buttons never take the focus themselves; the keyboard starts on the first one.
    for (const media::MediaButtonInfo &info : media::kMediaButtons)
        QCOMPARE(mm.button(info.button)->focusPolicy(), Qt::NoFocus);
    QCOMPARE(mm.keyboardButton(), MediaButton::Prev);
    QVERIFY(mm.button(MediaButton::Prev)->hasKeyboardMark());

    QTest::keyClick(&mm, Qt::Key_Right);
    QTest::keyClick(&mm, Qt::Key_Right);
    QCOMPARE(mm.keyboardButton(), MediaButton::Play);
    QVERIFY(mm.button(MediaButton::Play)->hasKeyboardMark());
    QVERIFY(!mm.button(MediaButton::Prev)->hasKeyboardMark());
    // Right stops at the last enabled button: Pause and Stop are disabled while stopped.
    QTest::keyClick(&mm, Qt::Key_Right);
    QCOMPARE(mm.keyboardButton(), MediaButton::Play);

    // Space presses Play as a click: the window's PlayClick handler runs.
    QTest::keyClick(&mm, Qt::Key_Space);
    QCOMPARE(fake->calls, (QStringList{"open song.mid", "play"}));
    QCOMPARE(status(), QStringLiteral("Play MIDI"));
    // Play is disabled now; the keyboard moved to the nearest enabled button.
    QCOMPARE(mm.keyboardButton(), MediaButton::Pause);
    QCOMPARE(QApplication::focusWidget(), &mm);

    QTest::keyClick(&mm, Qt::Key_Return);
    QCOMPARE(mm.mode(), media::ControlMode::Paused);
    QCOMPARE(status(), QStringLiteral("Paused"));

    // End: the last enabled button (Back, Step, Record and Eject are not for this device).
    QTest::keyClick(&mm, Qt::Key_End);
    QCOMPARE(mm.keyboardButton(), MediaButton::Stop);
    QTest::keyClick(&mm, Qt::Key_Enter);
    QCOMPARE(status(), QStringLiteral("Stopped"));
    QCOMPARE(mm.mode(), media::ControlMode::Stopped);
    QCOMPARE(mm.keyboardButton(), MediaButton::Play);
    QTest::keyClick(&mm, Qt::Key_Home);
    QCOMPARE(mm.keyboardButton(), MediaButton::Prev);
    QTest::keyClick(&mm, Qt::Key_Left);
    QCOMPARE(mm.keyboardButton(), MediaButton::Prev);

    // A button pressed with the mouse takes the keyboard with it.
    QTest::mouseClick(mm.button(MediaButton::Next), Qt::LeftButton);
    QCOMPARE(mm.keyboardButton(), MediaButton::Next);
    QCOMPARE(QApplication::focusWidget(), &mm);
    QVERIFY(mm.button(MediaButton::Next)->hasKeyboardMark());

    // Tab leaves the control for the next stop, and the mark goes with the focus.
    QTest::keyClick(&mm, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), window.control(QStringLiteral("cmdPlay")));
    QVERIFY(!mm.button(MediaButton::Next)->hasKeyboardMark());
}

QTEST_MAIN(TestPlayerAccessibility)
#include "tst_playeraccessibility.moc"
