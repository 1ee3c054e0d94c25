// Media named from outside the kit: the player a file or URI goes to (content first, then the
// extension), how it opens and plays there or fails with its box, files dropped on the windows,
// and requests that wait while a modal window is open.

#include "app/ApplicationSetup.h"
#include "app/DesignedWindow.h"
#include "app/KitWindows.h"
#include "app/MessageBox.h"
#include "app/OpenFromOutside.h"
#include "app/Program.h"
#include "app/WindowRegistry.h"
#include "media/MediaControl.h"
#include "media/output/SilentAudioSink.h"
#include "support/CdImageWriter.h"
#include "support/MidiWriter.h"
#include "support/MovieWriter.h"
#include "support/WavWriter.h"

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QMimeData>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

using namespace zyr;

class TestOutsideOpen : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup() { m_registry.reset(); }
    void opensInItsPlayer_data();
    void opensInItsPlayer();
    void dropsOpenTheFirstFile();
    void waitsWhileAModalWindowIsOpen();

private:
    // The control of a player made ahead, with real-time silent sound so that it keeps playing.
    media::MediaControl &mm(WindowClass player)
    {
        auto &control =
            *m_registry->get(player).control<media::MediaControl>(QStringLiteral("MMControl1"));
        control.setDeviceContext({[] { return std::make_unique<media::SilentAudioSink>(); }, {}});
        return control;
    }
    bool drop(WindowClass target, const QList<QUrl> &urls)
    {
        QMimeData data;
        data.setUrls(urls);
        QDragEnterEvent enter({5, 5}, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&m_registry->get(target), &enter);
        if (!enter.isAccepted())
            return false;
        QDropEvent dropped({5, 5}, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&m_registry->get(target), &dropped);
        return dropped.isAccepted();
    }

    QTemporaryDir m_dir;
    QString m_wav, m_midi;
    std::unique_ptr<WindowRegistry> m_registry;
    QStringList m_messages;
};

void TestOutsideOpen::initTestCase()
{
    setUpApplication(*qApp);
    MessageBox::setPresenter([this](const QString &text, const QString &title) {
        m_messages << title + QStringLiteral(": ") + text;
    });
    test::WavOptions o;
    o.frames = 44100 * 30;
    m_wav = m_dir.filePath(QStringLiteral("long tone.wav"));
    QVERIFY(test::WavWriter::write(m_wav, o));
    m_midi = m_dir.filePath(QStringLiteral("song.mid"));
    QVERIFY(test::MidiWriter::writeQuarterNotes(m_midi, 60));
}

void TestOutsideOpen::init()
{
    Program::resetForTesting();
    m_messages.clear();
    m_registry = std::make_unique<WindowRegistry>(kitWindowFactories());
    WindowRegistry::show(m_registry->get(WindowClass::MainMenu));
}

void TestOutsideOpen::opensInItsPlayer_data()
{
    QTest::addColumn<QString>("given"); // relative to the test's folder
    QTest::addColumn<WindowClass>("shown");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("message"); // of the box, if one shows
    QTest::addColumn<bool>("playing");
    // Media named for another kind: their content decides.
    test::WavOptions sound;
    sound.frames = 44100 * 30;
    QVERIFY(test::WavWriter::write(m_dir.filePath("wave.mid"), sound));
    QVERIFY(test::MidiWriter::writeQuarterNotes(m_dir.filePath("midi.wav"), 60));
    test::MovieOptions movie;
    movie.frames = 100;
    QVERIFY(test::MovieWriter::write(m_dir.filePath("movie.wav"), movie));
    const auto disc = test::CdImageWriter::write(m_dir.filePath("disc.cue"),
                                                 test::CdImageOptions{{{true, 75 * 30}}, 0});
    QVERIFY(disc);
    const QString fifo = m_dir.filePath(QStringLiteral("pipe.wav"));
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0); // never read: it would wait
    for (const char *text : {"bad.WAV", "bad.avi", "notes.txt"})
        QVERIFY(test::WavWriter::writeText(m_dir.filePath(text)));
    const auto row = [](const char *name, const QString &given, WindowClass shown,
                        const char *caption, const QString &message = QString()) {
        QTest::newRow(name) << given << shown << QString::fromLatin1(caption) << message
                            << message.isEmpty();
    };
    const char *const menu = "Welcome to the ZYR Multimedia Kit";
    const QString cant = QStringLiteral("Error: Can't open ");
    row("WAVE named .mid", "wave.mid", WindowClass::WavPlayer, "The ZYR Multimedia WAV Player");
    row("MIDI named .wav, relative", "x/../midi.wav", WindowClass::MidiPlayer,
        "The ZYR Multimedia MIDI Player");
    row("AVI named .wav", "movie.wav", WindowClass::AviViewer, "The ZYR Multimedia AVI Viewer");
    row("cue sheet", disc->cuePath, WindowClass::CdPlayer, "The ZYR Multimedia CD Player");
    row("unknown content, .WAV", "bad.WAV", WindowClass::WavPlayer,
        "The ZYR Multimedia WAV Player - (No File is Loaded)", cant + m_dir.filePath("bad.WAV"));
    row("unknown content, .avi", "bad.avi", WindowClass::AviViewer,
        "The ZYR Multimedia AVI Viewer - (No file loaded)",
        QStringLiteral("Error: Can't Open ") + m_dir.filePath("bad.avi"));
    row("text", "notes.txt", WindowClass::MainMenu, menu, cant + m_dir.filePath("notes.txt"));
    row("missing", "gone.mid", WindowClass::MainMenu, menu, cant + m_dir.filePath("gone.mid"));
    row("pipe", fifo, WindowClass::MainMenu, menu, cant + fifo);
    row("web", "https://a.org/b.wav", WindowClass::MainMenu, menu, cant + "https://a.org/b.wav");
    QTest::newRow("no such drive")
        << QStringLiteral("cdda://sr9") << WindowClass::CdPlayer
        << QStringLiteral("The ZYR Multimedia CD Player") << QString() << false;
}

void TestOutsideOpen::opensInItsPlayer()
{
    QFETCH(QString, given);
    QFETCH(WindowClass, shown);
    QFETCH(QString, message);
    QFETCH(bool, playing);
    media::MediaControl *control = shown == WindowClass::MainMenu ? nullptr : &mm(shown);
    const QString before = QDir::currentPath();
    QDir::setCurrent(m_dir.path());
    openFromOutside(*m_registry, given);
    QDir::setCurrent(before);
    DesignedWindow &window = m_registry->get(shown);
    QVERIFY(window.isVisible());
    QCOMPARE(m_registry->get(WindowClass::MainMenu).isVisible(), shown == WindowClass::MainMenu);
    QTEST(window.windowTitle(), "caption");
    QCOMPARE(m_messages, message.isEmpty() ? QStringList() : QStringList{message});
    if (control)
        QCOMPARE(control->mode() == media::ControlMode::Playing, playing);
    if (shown == WindowClass::CdPlayer) {
        QCOMPARE(window.findChild<QLineEdit *>()->text(),
                 playing ? QStringLiteral("Disk Play") : QStringLiteral("No CD or Load"));
        QCOMPARE(control->fileName(), QString()); // Load goes on opening the system's drive
    }
}

void TestOutsideOpen::dropsOpenTheFirstFile()
{
    media::MediaControl &midi = mm(WindowClass::MidiPlayer), &wav = mm(WindowClass::WavPlayer);
    QVERIFY(!drop(WindowClass::MainMenu, {QUrl(QStringLiteral("https://a.org/b.mid"))}));
    // On the main menu the first file goes to its player.
    QVERIFY(drop(WindowClass::MainMenu, {QUrl::fromLocalFile(m_midi), QUrl::fromLocalFile(m_wav)}));
    QTRY_COMPARE_WITH_TIMEOUT(midi.mode(), media::ControlMode::Playing, 20000);
    QVERIFY(!m_registry->get(WindowClass::MainMenu).isVisible());
    QVERIFY(!m_registry->get(WindowClass::WavPlayer).isVisible());
    // On a player it opens there, also while something plays there, and plays.
    openFromOutside(*m_registry, m_wav);
    const QString other = m_dir.filePath(QStringLiteral("other.wav"));
    QVERIFY(test::WavWriter::write(other, test::WavOptions{}));
    QVERIFY(drop(WindowClass::WavPlayer, {QUrl::fromLocalFile(other)}));
    QTRY_COMPARE(wav.fileName(), other);
    QCOMPARE(wav.mode(), media::ControlMode::Playing);
    QCOMPARE(midi.mode(), media::ControlMode::Playing); // untouched
}

void TestOutsideOpen::waitsWhileAModalWindowIsOpen()
{
    media::MediaControl &wav = mm(WindowClass::WavPlayer);
    QDialog modal(&m_registry->get(WindowClass::MainMenu));
    modal.setModal(true);
    modal.show();
    openFromOutsideSoon(*m_registry, m_wav);
    QCoreApplication::processEvents(); // the request's first turn comes and goes
    QCOMPARE(wav.mode(), media::ControlMode::NoDevice);
    modal.close();
    QTRY_COMPARE_WITH_TIMEOUT(wav.mode(), media::ControlMode::Playing, 20000);
}

QTEST_MAIN(TestOutsideOpen)
#include "tst_outsideopen.moc"
