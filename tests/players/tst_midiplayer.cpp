// The MIDI player as the user works it: the status box through both sets of buttons, the
// Pause sequence, File, Open with its failure and cancel, "Next" after every stop and at the
// end, and File, Exit hiding before it shows.

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
#include "media/output/TestAudioSink.h"
#include "support/MidiWriter.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QtTest>

using namespace zyr;
using media::MediaButton;
using media::MediaControl;

namespace {

const QString kCaption = QStringLiteral("The ZYR Multimedia MIDI Player");
const QString kCaptionFailed = QStringLiteral("The ZYR Multimedia MIDI Player - (No file loaded)");

// Records the order in which windows are shown and hidden.
class ShowHideRecorder : public QObject {
public:
    QStringList events;
    void watch(QWidget *w) { w->installEventFilter(this); }

protected:
    bool eventFilter(QObject *o, QEvent *e) override
    {
        if (e->type() == QEvent::Show || e->type() == QEvent::Hide)
            events << (e->type() == QEvent::Show ? QStringLiteral("show ")
                                                 : QStringLiteral("hide ")) +
                          o->objectName();
        return false;
    }
};

} // namespace

class TestMidiPlayer : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void newWindowReadsWelcome();
    void statusThroughTheWindowsButtons();
    void statusThroughTheControlsButtons();
    void controlsStopSendsNextBeforeItsOwnStop();
    void failedOpenDisablesBothThenValidOpen();
    void cancelChangesNothing();
    void endOfMusicSendsNextAndKeepsTheStatus();
    void exitHidesFirstThenShows();

private:
    QString midi(const QString &name, int quarters);
    void openFile() { m_window->menuItem(QStringLiteral("mnuOpen"))->trigger(); }
    void click(const char *name)
    {
        QTest::mouseClick(m_window->control(QString::fromLatin1(name)), Qt::LeftButton);
    }
    void press(MediaButton b) { QTest::mouseClick(mm().button(b), Qt::LeftButton); }
    QString status() { return m_window->control<QLineEdit>(QStringLiteral("txtbox"))->text(); }
    MediaControl &mm() { return *m_window->control<MediaControl>(QStringLiteral("MMControl1")); }
    // Makes the control's devices fakes from now on; returns where the last one is kept.
    test::FakeDevice *&useFakeDevices();

    QTemporaryDir m_dir;
    std::unique_ptr<WindowRegistry> m_registry;
    DesignedWindow *m_window = nullptr;
    QStringList m_messages;
    std::optional<QString> m_answer;
    test::FakeDevice *m_fake = nullptr;
};

void TestMidiPlayer::initTestCase()
{
    setUpApplication(*qApp);
    MessageBox::setPresenter(
        [this](const QString &text, const QString &title) { m_messages << title + ": " + text; });
}

void TestMidiPlayer::init()
{
    Program::resetForTesting();
    m_messages.clear();
    m_fake = nullptr;
    m_registry = std::make_unique<WindowRegistry>(kitWindowFactories());
    DesignedWindow &main = m_registry->get(WindowClass::MainMenu);
    WindowRegistry::show(main);
    main.menuItem(QStringLiteral("mnuMidi"))->trigger();
    m_window = &m_registry->get(WindowClass::MidiPlayer);
    mm().setDeviceContext({[] { return std::make_unique<media::TestAudioSink>(); }, {}});
    m_window->control<media::FileOpenDialog>(QStringLiteral("cmdialog1"))
        ->setPresenter([this](const media::FileOpenDialog::Request &) { return m_answer; });
}

void TestMidiPlayer::cleanup()
{
    m_window = nullptr;
    m_registry.reset();
}

test::FakeDevice *&TestMidiPlayer::useFakeDevices()
{
    mm().setDeviceContext({{}, [this](const QString &) {
                               auto d = std::make_unique<test::FakeDevice>();
                               m_fake = d.get();
                               return std::unique_ptr<media::MediaDevice>(std::move(d));
                           }});
    return m_fake;
}

QString TestMidiPlayer::midi(const QString &name, int quarters)
{
    const QString path = m_dir.filePath(name);
    if (!test::MidiWriter::writeQuarterNotes(path, quarters))
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

void TestMidiPlayer::newWindowReadsWelcome()
{
    QCOMPARE(status(), QStringLiteral("Welcome"));
    QCOMPARE(m_window->windowTitle(), kCaption);
    QVERIFY(m_window->control(QStringLiteral("cmdPlay"))->isEnabled());
    QVERIFY(m_window->control(QStringLiteral("cmdStop"))->isEnabled());
    auto *bar = m_window->control<QScrollBar>(QStringLiteral("hsbposition"));
    QVERIFY(bar->isEnabled());
    QCOMPARE(bar->maximum(), 32767);
    QCOMPARE(mm().updateInterval(), 250); // from the design; the window sets none
    const QPalette p = m_window->control(QStringLiteral("txtbox"))->palette();
    QCOMPARE(p.color(QPalette::Text), QColor(0, 0, 255));
    QCOMPARE(QFontInfo(m_window->control(QStringLiteral("txtbox"))->font()).pointSize(), 24);
    QVERIFY(QFontInfo(m_window->control(QStringLiteral("txtbox"))->font()).bold());
}

void TestMidiPlayer::statusThroughTheWindowsButtons()
{
    click("cmdPlay"); // no file open: the text claims it all the same
    QCOMPARE(status(), QStringLiteral("Play MIDI"));
    QCOMPARE(mm().error(), std::int16_t(media::MediaErrorCode::NoDeviceOpen));
    click("cmdStop");
    QCOMPARE(status(), QStringLiteral("Stopped"));
    QVERIFY(m_messages.isEmpty());

    useFakeDevices();
    m_answer = QStringLiteral("song.mid");
    openFile();
    click("cmdPlay");
    QCOMPARE(m_fake->calls, (QStringList{"open song.mid", "play"}));
    m_fake->position = 1234;
    click("cmdStop");
    QCOMPARE(status(), QStringLiteral("Stopped"));
    // Stop, then Next: one track, so back to its start.
    QCOMPARE(m_fake->calls, (QStringList{"open song.mid", "play", "stop", "seek 0"}));
}

void TestMidiPlayer::statusThroughTheControlsButtons()
{
    useFakeDevices();
    m_answer = QStringLiteral("song.mid");
    openFile();
    press(MediaButton::Play);
    QCOMPARE(status(), QStringLiteral("Play MIDI"));
    QStringList seen;
    connect(&mm(), &MediaControl::buttonClick, this,
            [&](MediaButton, bool &) { seen << status(); });
    press(MediaButton::Pause);
    // "Press Play" while the control pauses, "Paused" once it has.
    QCOMPARE(seen.last(), QStringLiteral("Press Play"));
    QCOMPARE(status(), QStringLiteral("Paused"));
    QCOMPARE(mm().mode(), media::ControlMode::Paused);
    press(MediaButton::Play);
    QCOMPARE(status(), QStringLiteral("Play MIDI"));
}

void TestMidiPlayer::controlsStopSendsNextBeforeItsOwnStop()
{
    useFakeDevices();
    m_answer = QStringLiteral("song.mid");
    openFile();
    press(MediaButton::Play);
    m_fake->position = 5000;
    press(MediaButton::Stop);
    QCOMPARE(status(), QStringLiteral("Stopped"));
    QCOMPARE(m_fake->calls, (QStringList{"open song.mid", "play", "seek 0", "stop"}));
}

void TestMidiPlayer::failedOpenDisablesBothThenValidOpen()
{
    const QString bad = m_dir.filePath(QStringLiteral("not-midi.mid"));
    {
        QFile f(bad);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("this is not a MIDI file\n");
    }
    click("cmdPlay");
    m_answer = bad;
    openFile();
    QCOMPARE(m_window->windowTitle(), kCaptionFailed);
    QVERIFY(!m_window->control(QStringLiteral("cmdPlay"))->isEnabled());
    QVERIFY(!m_window->control(QStringLiteral("cmdStop"))->isEnabled());
    QCOMPARE(m_messages, QStringList{QStringLiteral("Error: Can't open ") + bad});
    QCOMPARE(status(), QStringLiteral("Play MIDI")); // unchanged by the open

    m_answer = midi(QStringLiteral("four.mid"), 4);
    openFile();
    QCOMPARE(mm().error(), 0);
    QCOMPARE(m_window->windowTitle(), kCaption);
    QVERIFY(m_window->control(QStringLiteral("cmdPlay"))->isEnabled());
    QVERIFY(m_window->control(QStringLiteral("cmdStop"))->isEnabled());
    QCOMPARE(m_window->control<QScrollBar>(QStringLiteral("hsbposition"))->maximum(), 2000);
}

void TestMidiPlayer::cancelChangesNothing()
{
    m_answer.reset();
    click("cmdStop");
    openFile();
    QCOMPARE(status(), QStringLiteral("Stopped"));
    QCOMPARE(m_window->windowTitle(), kCaption);
    QVERIFY(m_messages.isEmpty());
    QCOMPARE(mm().mode(), media::ControlMode::NoDevice);
}

void TestMidiPlayer::endOfMusicSendsNextAndKeepsTheStatus()
{
    m_answer = midi(QStringLiteral("two.mid"), 2);
    openFile();
    QCOMPARE(mm().length(), 1000);
    QSignalSpy done(&mm(), &MediaControl::done);
    click("cmdPlay");
    QTRY_COMPARE_WITH_TIMEOUT(done.size(), 1, 15000);
    QCOMPARE(done.front().front().toInt(), MediaControl::kNotifySuccessful);
    QCOMPARE(mm().position(), 0); // Next rewound the one-track file
    QCOMPARE(status(), QStringLiteral("Play MIDI"));
}

void TestMidiPlayer::exitHidesFirstThenShows()
{
    DesignedWindow &main = m_registry->get(WindowClass::MainMenu);
    ShowHideRecorder recorder;
    recorder.watch(&main);
    recorder.watch(m_window);
    useFakeDevices();
    m_answer = QStringLiteral("song.mid");
    openFile();
    click("cmdPlay");
    m_window->menuItem(QStringLiteral("mnuExit"))->trigger();
    QCOMPARE(recorder.events, (QStringList{"hide frmMidi", "show frmkivo"}));
    QCOMPARE(mm().mode(), media::ControlMode::Playing); // the music goes on
    main.menuItem(QStringLiteral("mnuMidi"))->trigger();
    QCOMPARE(status(), QStringLiteral("Play MIDI"));
}

QTEST_MAIN(TestMidiPlayer)
#include "tst_midiplayer.moc"
