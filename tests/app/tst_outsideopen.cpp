// Media named from outside the kit: which player a file or URI goes to (content first, then the
// extension), how it opens there and plays, the boxes of what fails, files dropped on the
// windows, and requests that wait while a modal window is open.

#include "app/ApplicationSetup.h"
#include "app/DesignedWindow.h"
#include "app/KitWindows.h"
#include "app/MessageBox.h"
#include "app/OpenFromOutside.h"
#include "app/OutsideMedium.h"
#include "app/Program.h"
#include "app/WindowRegistry.h"
#include "media/FileOpenDialog.h"
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
using media::MediaControl;

Q_DECLARE_METATYPE(std::optional<zyr::WindowClass>)

class TestOutsideOpen : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void identifiesTheMedium_data();
    void identifiesTheMedium();
    void opensInItsPlayerAndPlays_data();
    void opensInItsPlayerAndPlays();
    void failuresShowTheirBoxes();
    void dropsOpenTheFirstFile();
    void waitsWhileAModalWindowIsOpen();

private:
    QString file(const QString &name, const QByteArray &bytes);
    // Gives the player real-time silent sound, so that what it plays is still playing.
    DesignedWindow &player(WindowClass windowClass);
    MediaControl &mm(DesignedWindow &window)
    {
        return *window.control<MediaControl>(QStringLiteral("MMControl1"));
    }
    // Drags `urls` onto `window` and drops them; false when the window refused the drag.
    static bool drop(QWidget &window, const QList<QUrl> &urls);

    QTemporaryDir m_dir;
    QString m_wav;
    QString m_midi;
    std::unique_ptr<WindowRegistry> m_registry;
    QStringList m_messages;
};

void TestOutsideOpen::initTestCase()
{
    setUpApplication(*qApp);
    MessageBox::setPresenter(
        [this](const QString &text, const QString &title) { m_messages << title + ": " + text; });
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

void TestOutsideOpen::cleanup()
{
    m_registry.reset();
}

QString TestOutsideOpen::file(const QString &name, const QByteArray &bytes)
{
    const QString path = m_dir.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

DesignedWindow &TestOutsideOpen::player(WindowClass windowClass)
{
    DesignedWindow &window = m_registry->get(windowClass);
    mm(window).setDeviceContext({[] { return std::make_unique<media::SilentAudioSink>(); }, {}});
    return window;
}

bool TestOutsideOpen::drop(QWidget &window, const QList<QUrl> &urls)
{
    QMimeData data;
    data.setUrls(urls);
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &enter);
    if (!enter.isAccepted())
        return false;
    QDropEvent dropped(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &dropped);
    return dropped.isAccepted();
}

void TestOutsideOpen::identifiesTheMedium_data()
{
    QTest::addColumn<QString>("given");
    QTest::addColumn<QString>("path"); // empty: the given name, made absolute
    QTest::addColumn<std::optional<WindowClass>>("player");
    const QByteArray wave("RIFF\x24\0\0\0WAVEfmt ", 16);
    const QByteArray avi("RIFF\x24\0\0\0AVI LIST", 16);
    const QByteArray midi("MThd\0\0\0\x06\0\0\0\x01", 12);
    const std::optional<WindowClass> none;
    QTest::newRow("WAVE content named .mid") << file(QStringLiteral("a.mid"), wave) << QString()
                                             << std::optional(WindowClass::WavPlayer);
    QTest::newRow("MIDI content named .wav") << file(QStringLiteral("b.wav"), midi) << QString()
                                             << std::optional(WindowClass::MidiPlayer);
    QTest::newRow("AVI content named .wav")
        << file(QStringLiteral("c.wav"), avi) << QString() << std::optional(WindowClass::AviViewer);
    QTest::newRow("AVI content, no extension")
        << file(QStringLiteral("movie"), avi) << QString() << std::optional(WindowClass::AviViewer);
    QTest::newRow("unknown content, .WAV") << file(QStringLiteral("d.WAV"), "junk") << QString()
                                           << std::optional(WindowClass::WavPlayer);
    QTest::newRow("unknown content, .midi") << file(QStringLiteral("e.midi"), "") << QString()
                                            << std::optional(WindowClass::MidiPlayer);
    QTest::newRow("RIFF of another form, .avi")
        << file(QStringLiteral("f.avi"), QByteArray("RIFF\0\0\0\0RMID", 12)) << QString()
        << std::optional(WindowClass::AviViewer);
    QTest::newRow("cue sheet") << file(QStringLiteral("disc.cue"), "FILE \"disc.bin\" BINARY\n")
                               << QString() << std::optional(WindowClass::CdPlayer);
    QTest::newRow("text") << file(QStringLiteral("notes.txt"), "hello") << QString() << none;
    QTest::newRow("missing file") << m_dir.filePath(QStringLiteral("gone.wav")) << QString()
                                  << none;
    QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("folder.wav")));
    QTest::newRow("folder") << m_dir.filePath(QStringLiteral("folder.wav")) << QString() << none;
    // A pipe is never read: it would wait for a writer.
    const QString fifo = m_dir.filePath(QStringLiteral("pipe.wav"));
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QTest::newRow("pipe") << fifo << QString() << none;
    QTest::newRow("relative") << QStringLiteral("./sub/../b.wav") << m_dir.filePath("b.wav")
                              << std::optional(WindowClass::MidiPlayer);
    QTest::newRow("file URI")
        << QUrl::fromLocalFile(m_dir.filePath(QStringLiteral("b.wav"))).toString(QUrl::FullyEncoded)
        << m_dir.filePath("b.wav") << std::optional(WindowClass::MidiPlayer);
    QTest::newRow("file URI, escaped space")
        << QUrl::fromLocalFile(m_wav).toString(QUrl::FullyEncoded) << m_wav
        << std::optional(WindowClass::WavPlayer);
    QTest::newRow("cdda drive") << QStringLiteral("cdda://sr1") << QStringLiteral("/dev/sr1")
                                << std::optional(WindowClass::CdPlayer);
    QTest::newRow("cdda drive, track")
        << QStringLiteral("cdda://sr0/Track%201.wav") << QStringLiteral("/dev/sr0")
        << std::optional(WindowClass::CdPlayer);
    QTest::newRow("cdda node") << QStringLiteral("cdda:///dev/cdrom")
                               << QStringLiteral("/dev/cdrom")
                               << std::optional(WindowClass::CdPlayer);
    QTest::newRow("cdda, no drive")
        << QStringLiteral("cdda://") << QStringLiteral("cdda://") << none;
    QTest::newRow("web") << QStringLiteral("https://example.org/a.wav")
                         << QStringLiteral("https://example.org/a.wav") << none;
}

void TestOutsideOpen::identifiesTheMedium()
{
    QFETCH(QString, given);
    QFETCH(QString, path);
    QFETCH(std::optional<WindowClass>, player);
    const QString before = QDir::currentPath();
    QDir::setCurrent(m_dir.path());
    const OutsideMedium medium = identifyMedium(given);
    QDir::setCurrent(before);
    QCOMPARE(medium.path, path.isEmpty() ? given : path);
    QCOMPARE(medium.player, player);
}

void TestOutsideOpen::opensInItsPlayerAndPlays_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<WindowClass>("player");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("status"); // of the window's status box, where it has one
    test::MovieOptions movie;
    movie.frames = 100;
    QVERIFY(test::MovieWriter::write(m_dir.filePath(QStringLiteral("clip.avi")), movie));
    const auto disc = test::CdImageWriter::write(m_dir.filePath(QStringLiteral("disc.cue")),
                                                 test::CdImageOptions{{{true, 75 * 30}}, 0});
    QVERIFY(disc);
    QTest::newRow("WAV") << m_wav << WindowClass::WavPlayer
                         << QStringLiteral("The ZYR Multimedia WAV Player") << QString();
    QTest::newRow("MIDI") << m_midi << WindowClass::MidiPlayer
                          << QStringLiteral("The ZYR Multimedia MIDI Player")
                          << QStringLiteral("Play MIDI");
    QTest::newRow("AVI") << m_dir.filePath(QStringLiteral("clip.avi")) << WindowClass::AviViewer
                         << QStringLiteral("The ZYR Multimedia AVI Viewer") << QString();
    QTest::newRow("cue sheet") << disc->cuePath << WindowClass::CdPlayer
                               << QStringLiteral("The ZYR Multimedia CD Player")
                               << QStringLiteral("Disk Play");
}

void TestOutsideOpen::opensInItsPlayerAndPlays()
{
    QFETCH(QString, path);
    QFETCH(WindowClass, player);
    QFETCH(QString, caption);
    QFETCH(QString, status);
    DesignedWindow &window = this->player(player);
    openFromOutside(*m_registry, path);
    QVERIFY(window.isVisible());
    QVERIFY(!m_registry->get(WindowClass::MainMenu).isVisible());
    QCOMPARE(window.windowTitle(), caption);
    QCOMPARE(mm(window).mode(), media::ControlMode::Playing);
    QVERIFY(m_messages.isEmpty());
    if (!status.isEmpty())
        QCOMPARE(window.findChild<QLineEdit *>()->text(), status);
    if (player == WindowClass::CdPlayer) {
        // Load goes on opening the system's drive.
        QCOMPARE(mm(window).fileName(), QString());
    } else {
        // As if picked in the dialog: the next File, Open starts there.
        auto *dialog = window.findChild<media::FileOpenDialog *>();
        QCOMPARE(std::get<QString>(dialog->get(media::FileOpenDialog::kFileName)), path);
    }
}

void TestOutsideOpen::failuresShowTheirBoxes()
{
    // A WAV that is none: the WAV player's own failure.
    const QString badWav = file(QStringLiteral("bad.wav"), "not a sound");
    DesignedWindow &wav = player(WindowClass::WavPlayer);
    openFromOutside(*m_registry, badWav);
    QCOMPARE(wav.windowTitle(),
             QStringLiteral("The ZYR Multimedia WAV Player - (No File is Loaded)"));
    QCOMPARE(m_messages, QStringList{QStringLiteral("Error: Can't open ") + badWav});
    QCOMPARE(mm(wav).mode(), media::ControlMode::NoDevice);

    const QString badAvi = file(QStringLiteral("bad.avi"), "not a movie");
    openFromOutside(*m_registry, badAvi);
    QCOMPARE(m_messages.last(), QStringLiteral("Error: Can't Open ") + badAvi);

    // No player for it, or no file: the main menu and the box.
    for (const QString &path :
         {file(QStringLiteral("notes.txt"), "hello"), m_dir.filePath(QStringLiteral("gone.mid"))}) {
        m_messages.clear();
        openFromOutside(*m_registry, path);
        QVERIFY(m_registry->get(WindowClass::MainMenu).isVisible());
        QCOMPARE(m_messages, QStringList{QStringLiteral("Error: Can't open ") + path});
    }
}

void TestOutsideOpen::dropsOpenTheFirstFile()
{
    DesignedWindow &mainMenu = m_registry->get(WindowClass::MainMenu);
    DesignedWindow &midi = player(WindowClass::MidiPlayer);
    DesignedWindow &wav = player(WindowClass::WavPlayer);
    // Only files: a web address is refused.
    QVERIFY(!drop(mainMenu, {QUrl(QStringLiteral("https://example.org/a.mid"))}));
    // On the main menu the first file goes to its player.
    QVERIFY(drop(mainMenu, {QUrl::fromLocalFile(m_midi), QUrl::fromLocalFile(m_wav)}));
    QTRY_VERIFY_WITH_TIMEOUT(midi.isVisible(), 20000);
    QVERIFY(!mainMenu.isVisible());
    QTRY_COMPARE(mm(midi).mode(), media::ControlMode::Playing);
    QCOMPARE(mm(midi).fileName(), m_midi);
    QVERIFY(!wav.isVisible());

    // On a player it opens there, also while something plays, and plays.
    const QString other = m_dir.filePath(QStringLiteral("other.wav"));
    QVERIFY(test::WavWriter::write(other, test::WavOptions{}));
    m_registry->get(WindowClass::MidiPlayer).menuItem(QStringLiteral("mnuExit"))->trigger();
    openFromOutside(*m_registry, m_wav);
    QCOMPARE(mm(wav).mode(), media::ControlMode::Playing);
    QVERIFY(drop(wav, {QUrl::fromLocalFile(other)}));
    QTRY_COMPARE(mm(wav).fileName(), other);
    QCOMPARE(mm(wav).mode(), media::ControlMode::Playing);
    QCOMPARE(wav.windowTitle(), QStringLiteral("The ZYR Multimedia WAV Player"));
    QCOMPARE(mm(midi).mode(), media::ControlMode::Playing); // untouched
    QVERIFY(m_messages.isEmpty());
}

void TestOutsideOpen::waitsWhileAModalWindowIsOpen()
{
    DesignedWindow &wav = player(WindowClass::WavPlayer);
    QDialog modal(&m_registry->get(WindowClass::MainMenu));
    modal.setModal(true);
    modal.show();
    QVERIFY(QApplication::activeModalWidget());
    openFromOutsideSoon(*m_registry, m_wav);
    // The request's first turn comes and goes while the dialog is open.
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    QVERIFY(!wav.isVisible());
    modal.close();
    QTRY_VERIFY_WITH_TIMEOUT(wav.isVisible(), 20000);
    QCOMPARE(mm(wav).mode(), media::ControlMode::Playing);
}

QTEST_MAIN(TestOutsideOpen)
#include "tst_outsideopen.moc"
