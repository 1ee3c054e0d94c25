// The WAV player as the user works it: File, Open with its success, failure and cancel, Play
// and Stop, the position bar following playback, the rewind at the end, Exit while playing.

#include "app/ApplicationSetup.h"
#include "app/DesignedWindow.h"
#include "app/KitWindows.h"
#include "app/MessageBox.h"
#include "app/Program.h"
#include "app/WindowRegistry.h"
#include "media/control/FakeDevice.h"
#include "media/FileOpenDialog.h"
#include "media/input/TestAudioCapture.h"
#include "media/MediaButtonWidget.h"
#include "media/MediaControl.h"
#include "media/output/SilentAudioSink.h"
#include "media/output/TestAudioSink.h"
#include "support/WavWriter.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QProcessEnvironment>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QtTest>

using namespace zyr;
using media::MediaControl;

namespace {

const QString kCaption = QStringLiteral("The ZYR Multimedia WAV Player");
const QString kCaptionFailed =
    QStringLiteral("The ZYR Multimedia WAV Player - (No File is Loaded)");

} // namespace

class TestWavPlayer : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void loadHandlerSetsTheIntervalOnFirstVisitOnly();
    void dialogAsked();
    void cancelChangesNothing();
    void failedOpenThenValidOpen();
    void playsToTheEndAndRewinds();
    void stopInMidSoundSendsNothingOnDone();
    void barScalesALongSound();
    void draggingTheBarDoesNotSeek();
    void exitWhilePlayingKeepsPlaying();
    void playBeforeAnyOpenShowsNothing();
    void recordingGrowsTheBarAndPlaysBack();

private:
    // Answers the next dialog with `path`, or cancels it when empty.
    void answerDialogWith(const QString &path);
    QString wav(const QString &name, int rate, int channels, std::int64_t frames);
    void openFile() { m_wav->menuItem(QStringLiteral("mnuOpen"))->trigger(); }
    // Opens the dialog's answer through File, Open on a fake device of `lengthMs`; returns it.
    test::FakeDevice *openOnFakeDevice(std::int64_t lengthMs);
    void click(const char *name)
    {
        QTest::mouseClick(m_wav->control(QString::fromLatin1(name)), Qt::LeftButton);
    }
    MediaControl &mm() { return *m_wav->control<MediaControl>(QStringLiteral("MMControl1")); }
    QScrollBar &bar() { return *m_wav->control<QScrollBar>(QStringLiteral("hsbposition")); }
    bool enabled(const char *name)
    {
        return m_wav->control(QString::fromLatin1(name))->isEnabled();
    }

    QTemporaryDir m_dir;
    std::unique_ptr<WindowRegistry> m_registry;
    DesignedWindow *m_wav = nullptr;
    QStringList m_messages;
    QList<media::FileOpenDialog::Request> m_requests;
    std::optional<QString> m_answer;
    test::FakeDevice *m_fake = nullptr;
};

void TestWavPlayer::initTestCase()
{
    setUpApplication(*qApp);
    MessageBox::setPresenter(
        [this](const QString &text, const QString &title) { m_messages << title + ": " + text; });
}

void TestWavPlayer::init()
{
    Program::resetForTesting();
    m_messages.clear();
    m_requests.clear();
    m_registry = std::make_unique<WindowRegistry>(kitWindowFactories());
    DesignedWindow &main = m_registry->get(WindowClass::MainMenu);
    WindowRegistry::show(main);
    QTest::mouseClick(main.control(QStringLiteral("Image3")), Qt::LeftButton, {}, QPoint(2, 2));
    m_wav = &m_registry->get(WindowClass::WavPlayer);
    QVERIFY(m_wav->isVisible());
    // Sound plays instantly into a test sink unless a test says otherwise.
    mm().setDeviceContext({[] { return std::make_unique<media::TestAudioSink>(); }, {}});
    m_wav->control<media::FileOpenDialog>(QStringLiteral("CMDialog1"))
        ->setPresenter([this](const media::FileOpenDialog::Request &r) {
            m_requests << r;
            return m_answer;
        });
}

void TestWavPlayer::cleanup()
{
    m_wav = nullptr;
    m_registry.reset();
}

void TestWavPlayer::answerDialogWith(const QString &path)
{
    m_answer = path.isEmpty() ? std::nullopt : std::optional<QString>(path);
}

test::FakeDevice *TestWavPlayer::openOnFakeDevice(std::int64_t lengthMs)
{
    m_fake = nullptr;
    mm().setDeviceContext({{}, [this, lengthMs](const QString &) {
                               auto d = std::make_unique<test::FakeDevice>();
                               d->length = lengthMs;
                               m_fake = d.get();
                               return std::unique_ptr<media::MediaDevice>(std::move(d));
                           }});
    openFile();
    return m_fake;
}

QString TestWavPlayer::wav(const QString &name, int rate, int channels, std::int64_t frames)
{
    test::WavOptions o;
    o.sampleRate = rate;
    o.channels = channels;
    o.frames = frames;
    const QString path = m_dir.filePath(name);
    if (!test::WavWriter::write(path, o))
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

void TestWavPlayer::loadHandlerSetsTheIntervalOnFirstVisitOnly()
{
    QCOMPARE(mm().updateInterval(), 250); // the design says 1000; Form_Load made it 250
    mm().put(MediaControl::kUpdateInterval, std::int16_t(1000));
    click("cmdExit");
    DesignedWindow &main = m_registry->get(WindowClass::MainMenu);
    main.menuItem(QStringLiteral("mnuWav"))->trigger();
    QCOMPARE(&m_registry->get(WindowClass::WavPlayer), m_wav);
    QCOMPARE(mm().updateInterval(), 1000);
}

void TestWavPlayer::dialogAsked()
{
    answerDialogWith({});
    openFile();
    QCOMPARE(m_requests.size(), 1);
    const media::FileOpenDialog::Request &r = m_requests.front();
    QCOMPARE(int(r.filters.size()), 2);
    QCOMPARE(r.filters[0].description, QStringLiteral("All Files (*.*)"));
    QCOMPARE(r.filters[1].description, QStringLiteral("WAV Files (*.wav)"));
    QCOMPARE(int(r.selectedFilter), 1); // WAV Files preselected
}

void TestWavPlayer::cancelChangesNothing()
{
    // First use: the window stays exactly as it was.
    answerDialogWith({});
    openFile();
    QCOMPARE(m_wav->windowTitle(), kCaption);
    QVERIFY(enabled("cmdPlay") && enabled("cmdStop"));
    QCOMPARE(bar().maximum(), 32767);
    QCOMPARE(mm().mode(), media::ControlMode::NoDevice);
    QVERIFY(m_messages.isEmpty());

    // While a sound plays: it goes on playing.
    mm().setDeviceContext({[] { return std::make_unique<media::SilentAudioSink>(); }, {}});
    answerDialogWith(wav(QStringLiteral("two.wav"), 8000, 1, 16000));
    openFile();
    click("cmdPlay");
    QCOMPARE(mm().mode(), media::ControlMode::Playing);
    answerDialogWith({});
    openFile();
    QCOMPARE(mm().mode(), media::ControlMode::Playing);
    QCOMPARE(bar().maximum(), 2000);
    QCOMPARE(mm().fileName(), m_dir.filePath(QStringLiteral("two.wav")));
    QVERIFY(m_messages.isEmpty());
}

void TestWavPlayer::failedOpenThenValidOpen()
{
    const QString good = wav(QStringLiteral("good.wav"), 44100, 2, 44100 / 2);
    answerDialogWith(good);
    openFile();
    QCOMPARE(bar().maximum(), 500);

    const QString bad = m_dir.filePath(QStringLiteral("notes.txt"));
    QVERIFY(test::WavWriter::writeText(bad));
    answerDialogWith(bad);
    openFile();
    QCOMPARE(m_wav->windowTitle(), kCaptionFailed);
    QVERIFY(!enabled("cmdPlay"));
    QVERIFY(enabled("cmdStop"));
    QCOMPARE(m_messages, QStringList{QStringLiteral("Error: Can't open ") + bad});
    QCOMPARE(bar().maximum(), 500); // the bar keeps its earlier range
    QVERIFY(mm().error() > 0);

    const QString other = wav(QStringLiteral("other.wav"), 22050, 1, 22050 * 3 / 4);
    answerDialogWith(other);
    openFile();
    QCOMPARE(m_wav->windowTitle(), kCaption);
    QVERIFY(enabled("cmdPlay") && enabled("cmdStop"));
    QCOMPARE(bar().minimum(), 0);
    QCOMPARE(bar().maximum(), 750);
    QVERIFY(bar().isEnabled());
    QCOMPARE(m_messages.size(), 1);
}

void TestWavPlayer::playsToTheEndAndRewinds()
{
    answerDialogWith(wav(QStringLiteral("short.wav"), 44100, 2, 44100));
    openFile();
    QSignalSpy done(&mm(), &MediaControl::done);
    click("cmdPlay");
    QTRY_COMPARE(done.size(), 1);
    QCOMPARE(done.front().front().toInt(), MediaControl::kNotifySuccessful);
    // The window answered Done with Prev: back at the start, ready to play again.
    QCOMPARE(mm().position(), 0);
    QCOMPARE(mm().mode(), media::ControlMode::Stopped);
    click("cmdPlay");
    QTRY_COMPARE(done.size(), 2);
    QCOMPARE(mm().position(), 0);
}

void TestWavPlayer::stopInMidSoundSendsNothingOnDone()
{
    mm().setDeviceContext({[] { return std::make_unique<media::SilentAudioSink>(); }, {}});
    answerDialogWith(wav(QStringLiteral("long.wav"), 8000, 1, 8000 * 30));
    openFile();
    QSignalSpy done(&mm(), &MediaControl::done);
    click("cmdPlay");
    QTRY_VERIFY(mm().position() > 100);
    click("cmdStop");
    const std::int32_t stoppedAt = mm().position();
    QTRY_COMPARE(done.size(), 1);
    QCOMPARE(done.front().front().toInt(), MediaControl::kNotifyAborted);
    QVERIFY2(stoppedAt > 100 && stoppedAt < 30000, qPrintable(QString::number(stoppedAt)));
    QCOMPARE(mm().position(), stoppedAt); // no Prev was sent
}

void TestWavPlayer::barScalesALongSound()
{
    // A 40 s sound: a length above what the 16-bit bar holds.
    answerDialogWith(wav(QStringLiteral("forty.wav"), 8000, 1, 8000 * 40));
    openFile();
    QCOMPARE(mm().length(), 40000);
    QCOMPARE(bar().maximum(), 32767);

    // Half way through, the thumb stands half way along the bar.
    test::FakeDevice *fake = openOnFakeDevice(40000);
    QVERIFY(fake);
    fake->position = 20000;
    emit mm().statusUpdate();
    QCOMPARE(bar().value(), 16383);
    fake->position = 40000;
    emit mm().statusUpdate();
    QCOMPARE(bar().value(), 32767);
    // At the end, Done finds the unnarrowed position equal to the length and rewinds.
    click("cmdPlay");
    fake->finish();
    QTRY_COMPARE(fake->position, 0);
    emit mm().statusUpdate();
    QCOMPARE(bar().value(), 0);
}

void TestWavPlayer::draggingTheBarDoesNotSeek()
{
    answerDialogWith(wav(QStringLiteral("drag.wav"), 8000, 1, 8000 * 4));
    test::FakeDevice *fake = openOnFakeDevice(4000);
    QVERIFY(fake);
    click("cmdPlay");
    fake->position = 1000;
    fake->calls.clear();
    bar().setValue(3500); // the user drags the thumb
    QCOMPARE(fake->calls, QStringList());
    QCOMPARE(mm().position(), 1000);
    // The next status update (every 250 ms) puts the thumb back at the playing position.
    QTRY_COMPARE(bar().value(), 1000);
}

void TestWavPlayer::exitWhilePlayingKeepsPlaying()
{
    mm().setDeviceContext({[] { return std::make_unique<media::SilentAudioSink>(); }, {}});
    answerDialogWith(wav(QStringLiteral("going.wav"), 8000, 1, 8000 * 30));
    openFile();
    click("cmdPlay");
    m_wav->menuItem(QStringLiteral("mnuExit"))->trigger();
    DesignedWindow &main = m_registry->get(WindowClass::MainMenu);
    QVERIFY(main.isVisible());
    QVERIFY(!m_wav->isVisible());
    QTRY_VERIFY(bar().value() >= 250); // followed while hidden
    QCOMPARE(mm().mode(), media::ControlMode::Playing);
    const int thumb = bar().value();
    main.menuItem(QStringLiteral("mnuWav"))->trigger();
    QVERIFY(m_wav->isVisible());
    QCOMPARE(m_wav->windowTitle(), kCaption);
    QTRY_VERIFY(bar().value() > thumb);
}

void TestWavPlayer::playBeforeAnyOpenShowsNothing()
{
    click("cmdPlay");
    QCOMPARE(mm().error(), std::int16_t(media::MediaErrorCode::NoDeviceOpen));
    click("cmdStop");
    QVERIFY(m_messages.isEmpty());
    QCOMPARE(m_wav->windowTitle(), kCaption);
    QVERIFY(!Program::ending());
}

void TestWavPlayer::recordingGrowsTheBarAndPlaysBack()
{
    // An input at real time, as a microphone is.
    mm().setDeviceContext({[] { return std::make_unique<media::TestAudioSink>(); },
                           {},
                           {},
                           media::testAudioCaptureFactory({-1, 1.0, false, {}})});
    answerDialogWith(wav(QStringLiteral("memo.wav"), 8000, 1, 8000));
    openFile();
    QCOMPARE(bar().maximum(), 1000);
    media::MediaButtonWidget *record = mm().button(media::MediaButton::Record);
    QTRY_VERIFY(record->isEnabled());
    QTest::mouseClick(record, Qt::LeftButton);
    QCOMPARE(mm().mode(), media::ControlMode::Recording);

    // The bar grows with the sound at each status update, its thumb at the recording position.
    QTRY_VERIFY_WITH_TIMEOUT(bar().maximum() >= 1500, 5000);
    QVERIFY(bar().maximum() <= mm().length());
    QVERIFY(qAbs(bar().maximum() - bar().value() - 1000) <= 300);
    const QString shots =
        QProcessEnvironment::systemEnvironment().value(QStringLiteral("ZYR_SCREENSHOT_DIR"));
    if (!shots.isEmpty())
        QVERIFY(m_wav->grab().save(QDir(shots).filePath(QStringLiteral("wav-recording.png"))));

    QSignalSpy done(&mm(), &MediaControl::done);
    click("cmdStop");
    QTRY_COMPARE(done.size(), 1);
    const std::int32_t length = mm().length();
    QVERIFY(length >= 1500);
    QCOMPARE(mm().position(), length - 1000); // the original sound follows the recording

    // Play from the start: the whole longer sound plays, and the window rewinds at its end.
    mm().execute(QStringLiteral("Prev"));
    click("cmdPlay");
    QTRY_COMPARE(done.size(), 2);
    QCOMPARE(done.at(1).at(0).toInt(), MediaControl::kNotifySuccessful);
    QCOMPARE(mm().length(), length);
    QCOMPARE(mm().position(), 0);
}

QTEST_MAIN(TestWavPlayer)
#include "tst_wavplayer.moc"
