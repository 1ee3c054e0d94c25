// The kit where the desktop has no session bus (CTest points DBUS_SESSION_BUS_ADDRESS at a
// socket that does not exist): the media-key service declines to start, says nothing, and the
// players work as they always do.

#include "app/ApplicationSetup.h"
#include "app/DesignedWindow.h"
#include "app/KitWindows.h"
#include "app/MessageBox.h"
#include "app/Program.h"
#include "app/WindowRegistry.h"
#include "desktop/LastUsedControl.h"
#include "desktop/MprisService.h"
#include "media/FileOpenDialog.h"
#include "media/MediaButtonWidget.h"
#include "media/MediaControl.h"
#include "media/output/TestAudioSink.h"
#include "support/WavWriter.h"

#include <QAction>
#include <QApplication>
#include <QDBusConnection>
#include <QTemporaryDir>
#include <QtTest>

using namespace zyr;
using media::MediaControl;

namespace {

QStringList g_logged;

void recordMessage(QtMsgType, const QMessageLogContext &, const QString &message)
{
    g_logged << message;
}

} // namespace

class TestMprisNoBus : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void startsNothingSilentlyAndThePlayersWork();
};

void TestMprisNoBus::initTestCase()
{
    setUpApplication(*qApp);
    MessageBox::setPresenter([](const QString &text, const QString &title) {
        QFAIL(qPrintable(QStringLiteral("unexpected message box: ") + title + ": " + text));
    });
}

void TestMprisNoBus::startsNothingSilentlyAndThePlayersWork()
{
    const QByteArray address = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    QVERIFY2(address.contains("nonexistent"), "CTest sets an unreachable session bus address");

    WindowRegistry registry(kitWindowFactories());
    desktop::MprisService service(registry);
    const QtMessageHandler previous = qInstallMessageHandler(recordMessage);
    const bool started = service.start();
    qInstallMessageHandler(previous);
    QVERIFY(!started);
    QVERIFY(service.serviceName().isEmpty());
    QCOMPARE(g_logged, QStringList());

    // The kit as the user meets it: the main menu, then the WAV player playing a sound to its
    // end, where the window rewinds it.
    WindowRegistry::show(registry.get(WindowClass::MainMenu));
    registry.get(WindowClass::MainMenu).menuItem(QStringLiteral("mnuWav"))->trigger();
    DesignedWindow &wav = registry.get(WindowClass::WavPlayer);
    QVERIFY(wav.isVisible());
    auto &mm = *wav.control<MediaControl>(QStringLiteral("MMControl1"));
    mm.setDeviceContext({[] { return std::make_unique<media::TestAudioSink>(); }, {}});
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("tone.wav"));
    test::WavOptions o;
    o.frames = 44100;
    QVERIFY(test::WavWriter::write(path, o));
    wav.control<media::FileOpenDialog>(QStringLiteral("CMDialog1"))
        ->setPresenter([path](const media::FileOpenDialog::Request &) { return path; });
    wav.menuItem(QStringLiteral("mnuOpen"))->trigger();
    QCOMPARE(mm.error(), 0);
    QCOMPARE(service.tracker().control(), &mm);
    QSignalSpy done(&mm, &MediaControl::done);
    QTest::mouseClick(mm.button(media::MediaButton::Play), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(done.size(), 1, 15000);
    QCOMPARE(done.front().front().toInt(), MediaControl::kNotifySuccessful);
    QCOMPARE(mm.position(), 0);
    QVERIFY(!Program::ending());
}

QTEST_MAIN(TestMprisNoBus)
#include "tst_mprisnobus.moc"
