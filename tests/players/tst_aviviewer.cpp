// The AVI viewer as the user works it: File, Open with "Can't Open " and the caption, cancel,
// the rewind at the end, File, Exit with the movie going on, and paths shown as written.

#include "app/ApplicationSetup.h"
#include "app/DesignedWindow.h"
#include "app/KitWindows.h"
#include "app/MessageBox.h"
#include "app/Program.h"
#include "app/WindowRegistry.h"
#include "media/FileOpenDialog.h"
#include "media/MediaControl.h"
#include "media/output/SilentAudioSink.h"
#include "media/output/TestAudioSink.h"
#include "media/VideoWindow.h"
#include "support/MovieWriter.h"
#include "support/WhenModalShows.h"

#include <QAction>
#include <QApplication>
#include <QMessageBox>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>

using namespace zyr;
using media::MediaControl;

namespace {
const QString kCaption = QStringLiteral("The ZYR Multimedia AVI Viewer");
} // namespace

class TestAviViewer : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void failedOpenSaysCantOpenWithACapitalO();
    void cancelChangesNothing();
    void rewindsAtTheEnd();
    void exitKeepsTheMovieGoing();
    void pathsShownAsWritten();

private:
    void openFile() { m_window->menuItem(QStringLiteral("mnuOpen"))->trigger(); }
    MediaControl &mm() { return *m_window->control<MediaControl>(QStringLiteral("MMControl1")); }

    QTemporaryDir m_dir;
    QString m_movie;
    std::unique_ptr<WindowRegistry> m_registry;
    DesignedWindow *m_window = nullptr;
    QStringList m_messages;
    std::optional<QString> m_answer;
};

void TestAviViewer::initTestCase()
{
    setUpApplication(*qApp);
    MessageBox::setPresenter(
        [this](const QString &text, const QString &title) { m_messages << title + ": " + text; });
    test::MovieOptions o;
    o.rateNum = 10;
    o.frames = 10;
    m_movie = m_dir.filePath(QStringLiteral("clip.avi"));
    QVERIFY(test::MovieWriter::write(m_movie, o));
}

void TestAviViewer::init()
{
    Program::resetForTesting();
    m_messages.clear();
    m_registry = std::make_unique<WindowRegistry>(kitWindowFactories());
    DesignedWindow &main = m_registry->get(WindowClass::MainMenu);
    WindowRegistry::show(main);
    main.menuItem(QStringLiteral("mnuAvi"))->trigger();
    m_window = &m_registry->get(WindowClass::AviViewer);
    media::DeviceContext context;
    context.sinks = [] { return std::make_unique<media::TestAudioSink>(); };
    mm().setDeviceContext(std::move(context)); // no video window in these tests
    m_window->control<media::FileOpenDialog>(QStringLiteral("CMDialog1"))
        ->setPresenter([this](const media::FileOpenDialog::Request &r) {
            return r.selectedFilter == 1 &&
                           r.filters[1].description == QLatin1String("Movie AVI Files (*.avi)")
                       ? m_answer
                       : std::optional<QString>(QStringLiteral("/wrong/filter"));
        });
}

void TestAviViewer::cleanup()
{
    m_window = nullptr;
    m_registry.reset();
}

void TestAviViewer::failedOpenSaysCantOpenWithACapitalO()
{
    const QString bad = m_dir.filePath(QStringLiteral("song.wav"));
    {
        QFile f(bad);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("RIFF");
    }
    m_answer = bad;
    openFile();
    QCOMPARE(m_window->windowTitle(),
             QStringLiteral("The ZYR Multimedia AVI Viewer - (No file loaded)"));
    QCOMPARE(m_messages, QStringList{QStringLiteral("Error: Can't Open ") + bad});
    m_answer = m_movie;
    openFile();
    QCOMPARE(mm().error(), 0);
    QCOMPARE(m_window->windowTitle(), kCaption);
    QCOMPARE(mm().length(), 1000);
    QCOMPARE(m_messages.size(), 1);
}

void TestAviViewer::cancelChangesNothing()
{
    m_answer = m_movie;
    openFile();
    m_answer.reset();
    openFile();
    QCOMPARE(m_window->windowTitle(), kCaption);
    QCOMPARE(mm().mode(), media::ControlMode::Stopped);
    QCOMPARE(mm().length(), 1000);
    QVERIFY(m_messages.isEmpty());
}

void TestAviViewer::rewindsAtTheEnd()
{
    m_answer = m_movie;
    openFile();
    QSignalSpy done(&mm(), &MediaControl::done);
    mm().put(MediaControl::kCommand, QStringLiteral("Play"));
    QTRY_COMPARE(done.size(), 1);
    QCOMPARE(done.front().front().toInt(), MediaControl::kNotifySuccessful);
    QCOMPARE(mm().position(), 0); // Prev after the end: ready to play again
}

void TestAviViewer::exitKeepsTheMovieGoing()
{
    media::DeviceContext context;
    context.sinks = [] { return std::make_unique<media::SilentAudioSink>(); };
    mm().setDeviceContext(std::move(context));
    m_answer = m_movie;
    openFile();
    QSignalSpy done(&mm(), &MediaControl::done);
    mm().put(MediaControl::kCommand, QStringLiteral("Play"));
    m_window->menuItem(QStringLiteral("mnuExit"))->trigger();
    QVERIFY(m_registry->get(WindowClass::MainMenu).isVisible());
    QVERIFY(!m_window->isVisible());
    // The movie plays on to its end behind the main menu.
    QTRY_COMPARE_WITH_TIMEOUT(done.size(), 1, 15000);
    QCOMPARE(done.front().front().toInt(), MediaControl::kNotifySuccessful);
}

void TestAviViewer::pathsShownAsWritten()
{
    // The real box this time, not the recorder.
    MessageBox::setPresenter({});
    const auto recordAgain = qScopeGuard([this] {
        MessageBox::setPresenter([this](const QString &text, const QString &title) {
            m_messages << title + ": " + text;
        });
    });
    // A path that reads as markup: the folder "<b>live<" holds "b>.avi".
    QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("<b>live<")));
    const QString bad = m_dir.filePath(QStringLiteral("<b>live</b>.avi"));
    QVERIFY(QFile(bad).open(QIODevice::WriteOnly)); // empty: no movie
    QString text;
    Qt::TextFormat format = Qt::AutoText;
    test::whenModalShows<QMessageBox>([&](QMessageBox &box) {
        text = box.text();
        format = box.textFormat();
        box.accept();
    });
    m_answer = bad;
    openFile();
    QCOMPARE(format, Qt::PlainText);
    QCOMPARE(text, QStringLiteral("Can't Open ") + bad);

    // The movie's own window is titled with the file's name, marks that Qt would read included.
    const QString name = QStringLiteral("take [*] <i>1.avi");
    QVERIFY(QFile::copy(m_movie, m_dir.filePath(name)));
    media::DeviceContext context;
    context.sinks = [] { return std::make_unique<media::TestAudioSink>(); };
    context.videoOutputs = media::videoWindowFactory();
    mm().setDeviceContext(std::move(context));
    m_answer = m_dir.filePath(name);
    openFile();
    QCOMPARE(mm().error(), 0);
    QWindow *video = nullptr;
    for (QWindow *w : QGuiApplication::topLevelWindows())
        if (w->objectName() == QLatin1String("videoWindow"))
            video = w;
    QVERIFY(video);
    QTRY_VERIFY(video->isVisible());
    QCOMPARE(video->title(), name);
}

QTEST_MAIN(TestAviViewer)
#include "tst_aviviewer.moc"
