// The CD player as the user works it: Load, the five status texts from the control's buttons,
// the eject that leaves the tray open for another disc, and the status telling a loaded disc
// only when it opened.

#include "app/ApplicationSetup.h"
#include "app/DesignedWindow.h"
#include "app/KitWindows.h"
#include "app/Program.h"
#include "app/WindowRegistry.h"
#include "media/devices/CdAudioDevice.h"
#include "media/devices/SlowTrayDrive.h"
#include "media/MediaButtonWidget.h"
#include "media/MediaControl.h"
#include "media/output/TestAudioSink.h"
#include "support/CdImageWriter.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using namespace zyr;
using media::MediaButton;
using media::MediaControl;

class TestCdPlayer : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void startsWithNoCdOrLoad();
    void loadWithoutADiscSaysSo();
    void loadTwiceOpensTwice();
    void buttonsSetTheirWords_data();
    void buttonsSetTheirWords();
    void ejectLeavesTheTrayOpenUntilLoad();
    void exitWhilePlayingKeepsTheStatus();

private:
    // The control's discs come from the image (through a slow tray), or from no drive at all.
    void useImage();
    void useNoDrive();
    void press(MediaButton b) { QTest::mouseClick(mm().button(b), Qt::LeftButton); }
    QString status() { return m_window->control<QLineEdit>(QStringLiteral("txtno"))->text(); }
    MediaControl &mm() { return *m_window->control<MediaControl>(QStringLiteral("MMControl1")); }

    QTemporaryDir m_dir;
    QString m_cue;
    QString m_otherCue; // a disc of one second
    std::shared_ptr<test::SlowTrayDrive> m_drive;
    int m_opens = 0;
    std::unique_ptr<WindowRegistry> m_registry;
    DesignedWindow *m_window = nullptr;
};

void TestCdPlayer::initTestCase()
{
    setUpApplication(*qApp);
    const auto written =
        test::CdImageWriter::write(m_dir.filePath(QStringLiteral("disc.cue")),
                                   test::CdImageOptions{{{true, 75}, {true, 75}}, 0});
    QVERIFY(written);
    m_cue = written->cuePath;
    const auto other = test::CdImageWriter::write(m_dir.filePath(QStringLiteral("other.cue")),
                                                  test::CdImageOptions{{{true, 75}}, 0});
    QVERIFY(other);
    m_otherCue = other->cuePath;
}

void TestCdPlayer::init()
{
    Program::resetForTesting();
    m_opens = 0;
    m_registry = std::make_unique<WindowRegistry>(kitWindowFactories());
    DesignedWindow &main = m_registry->get(WindowClass::MainMenu);
    WindowRegistry::show(main);
    main.menuItem(QStringLiteral("mnuCd"))->trigger();
    m_window = &m_registry->get(WindowClass::CdPlayer);
    QVERIFY(m_window->isVisible());
}

void TestCdPlayer::cleanup()
{
    m_window = nullptr;
    m_registry.reset();
}

void TestCdPlayer::useImage()
{
    m_drive = std::make_shared<test::SlowTrayDrive>(m_cue);
    mm().setDeviceContext({{}, [this](const QString &type) -> std::unique_ptr<media::MediaDevice> {
                               ++m_opens;
                               if (type != QLatin1String("CDAudio"))
                                   return nullptr;
                               return std::make_unique<media::CdAudioDevice>(
                                   [] { return std::make_unique<media::TestAudioSink>(); },
                                   [this](const QString &) { return m_drive; });
                           }});
}

void TestCdPlayer::useNoDrive()
{
    mm().setDeviceContext({{}, [this](const QString &) -> std::unique_ptr<media::MediaDevice> {
                               ++m_opens;
                               return std::make_unique<media::CdAudioDevice>(
                                   [] { return std::make_unique<media::TestAudioSink>(); },
                                   [](const QString &) { return nullptr; });
                           }});
}

void TestCdPlayer::startsWithNoCdOrLoad()
{
    QCOMPARE(status(), QStringLiteral("No CD or Load"));
    QCOMPARE(m_window->windowTitle(), QStringLiteral("The ZYR Multimedia CD Player"));
    QVERIFY(m_window->menuWidget() == nullptr);
}

void TestCdPlayer::loadWithoutADiscSaysSo()
{
    useNoDrive();
    QTest::mouseClick(m_window->control(QStringLiteral("cmdLoad")), Qt::LeftButton);
    QVERIFY(mm().error() > 0);
    QCOMPARE(status(), QStringLiteral("No CD or Load")); // never "Disk Loaded" for a failure
    QCOMPARE(mm().deviceType(), QStringLiteral("CDAudio"));
}

void TestCdPlayer::loadTwiceOpensTwice()
{
    useImage();
    QTest::mouseClick(m_window->control(QStringLiteral("cmdLoad")), Qt::LeftButton);
    QCOMPARE(status(), QStringLiteral("Disk Loaded"));
    m_window->control<QLineEdit>(QStringLiteral("txtno"))->setText(QStringLiteral("typed"));
    QTest::mouseClick(m_window->control(QStringLiteral("cmdLoad")), Qt::LeftButton);
    QCOMPARE(status(), QStringLiteral("Disk Loaded"));
    QCOMPARE(m_opens, 2);
    QCOMPARE(mm().length(), 2000);
    QCOMPARE(mm().mode(), media::ControlMode::Stopped);
}

void TestCdPlayer::buttonsSetTheirWords_data()
{
    QTest::addColumn<QList<int>>("buttons");
    QTest::addColumn<QString>("text");
    QTest::newRow("Play") << QList<int>{int(MediaButton::Play)} << "Disk Play";
    QTest::newRow("Next") << QList<int>{int(MediaButton::Next)} << "Disk Play";
    QTest::newRow("Pause") << QList<int>{int(MediaButton::Play), int(MediaButton::Pause)}
                           << "Paused";
    QTest::newRow("Stop") << QList<int>{int(MediaButton::Play), int(MediaButton::Stop)}
                          << "Stopped";
    QTest::newRow("Prev has no word") << QList<int>{int(MediaButton::Prev)} << "Disk Loaded";
}

void TestCdPlayer::buttonsSetTheirWords()
{
    QFETCH(QList<int>, buttons);
    QFETCH(QString, text);
    useImage();
    QTest::mouseClick(m_window->control(QStringLiteral("cmdLoad")), Qt::LeftButton);
    for (int b : buttons)
        press(MediaButton(b));
    QCOMPARE(status(), text);
}

void TestCdPlayer::ejectLeavesTheTrayOpenUntilLoad()
{
    useImage();
    QTest::mouseClick(m_window->control(QStringLiteral("cmdLoad")), Qt::LeftButton);
    press(MediaButton::Play);
    m_drive->hold(); // the tray takes its time
    press(MediaButton::Eject);
    QCOMPARE(status(), QStringLiteral("Ejected")); // until the tray has moved
    // The user leaves the window mid-eject; the eject completes behind it, and "Load" finds the
    // tray open.
    QTest::mouseClick(m_window->control(QStringLiteral("cmdExit")), Qt::LeftButton);
    QVERIFY(!m_window->isVisible());
    m_drive->release();
    QTRY_COMPARE(status(), QStringLiteral("No CD or Load"));
    QCOMPARE(m_drive->opened.load(), 1);
    QCOMPARE(m_drive->closed.load(), 0);
    QCOMPARE(mm().mode(), media::ControlMode::TrayOpen);
    m_registry->get(WindowClass::MainMenu).menuItem(QStringLiteral("mnuCd"))->trigger();
    QCOMPARE(status(), QStringLiteral("No CD or Load"));

    // Another disc goes in, and Load closes the tray and reads it.
    m_drive->changeDisc(m_otherCue);
    QTest::mouseClick(m_window->control(QStringLiteral("cmdLoad")), Qt::LeftButton);
    QCOMPARE(status(), QStringLiteral("Disk Loaded"));
    QCOMPARE(m_drive->closed.load(), 1);
    QCOMPARE(mm().length(), 1000);
    QCOMPARE(mm().mode(), media::ControlMode::Stopped);
}

void TestCdPlayer::exitWhilePlayingKeepsTheStatus()
{
    useImage();
    QTest::mouseClick(m_window->control(QStringLiteral("cmdLoad")), Qt::LeftButton);
    press(MediaButton::Pause); // disabled while stopped: no word, no command
    QCOMPARE(status(), QStringLiteral("Disk Loaded"));
    press(MediaButton::Play);
    QTest::mouseClick(m_window->control(QStringLiteral("cmdExit")), Qt::LeftButton);
    DesignedWindow &main = m_registry->get(WindowClass::MainMenu);
    QVERIFY(main.isVisible());
    QVERIFY(!m_window->isVisible());
    main.menuItem(QStringLiteral("mnuCd"))->trigger();
    QCOMPARE(status(), QStringLiteral("Disk Play"));
}

QTEST_MAIN(TestCdPlayer)
#include "tst_cdplayer.moc"
