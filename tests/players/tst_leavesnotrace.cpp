// What the kit leaves behind: no file in the user's folders (the file dialog's state included),
// nothing taken from a state that another Qt program left there, and nothing on standard error
// when a library meets a bad file or a missing sound card.
//
// main() points HOME and the XDG folders at fresh ones before Qt starts, with one file in them:
// the file dialog's state as another Qt program leaves it.

#include "app/ApplicationSetup.h"
#include "app/DesignedWindow.h"
#include "app/KitWindows.h"
#include "app/MessageBox.h"
#include "app/WindowRegistry.h"
#include "media/FileOpenDialog.h"
#include "media/MediaControl.h"
#include "media/output/TestAudioSink.h"
#include "support/MovieWriter.h"
#include "support/WhenModalShows.h"

#include <QAction>
#include <QApplication>
#include <QDirIterator>
#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QtTest>

#include <alsa/asoundlib.h>

#include <cstdio>
#include <unistd.h>

using namespace zyr;

namespace {

// The folders a program may keep things in, each named by its variable.
struct UserFolder {
    const char *variable;
    const char *name;
};
const UserFolder kUserFolders[] = {{"HOME", "home"},
                                   {"XDG_CONFIG_HOME", "config"},
                                   {"XDG_DATA_HOME", "data"},
                                   {"XDG_CACHE_HOME", "cache"},
                                   {"XDG_STATE_HOME", "state"},
                                   {"XDG_RUNTIME_DIR", "runtime"}};

// Standard error, sent into a temporary file for as long as the capture lives.
class StandardErrorCapture {
public:
    StandardErrorCapture()
    {
        if (!m_file.open())
            return;
        std::fflush(stderr);
        m_saved = ::dup(STDERR_FILENO);
        ::dup2(m_file.handle(), STDERR_FILENO);
    }
    ~StandardErrorCapture() { restore(); }
    StandardErrorCapture(const StandardErrorCapture &) = delete;
    StandardErrorCapture &operator=(const StandardErrorCapture &) = delete;

    bool isCapturing() const { return m_saved >= 0; }
    // Ends the capture and returns what was written meanwhile.
    QByteArray text()
    {
        restore();
        m_file.seek(0);
        return m_file.readAll();
    }

private:
    void restore()
    {
        if (m_saved < 0)
            return;
        std::fflush(stderr);
        ::dup2(m_saved, STDERR_FILENO);
        ::close(m_saved);
        m_saved = -1;
    }

    QTemporaryFile m_file;
    int m_saved = -1;
};

// Every file and folder below `root`, relative to it.
QStringList everythingUnder(const QString &root)
{
    QStringList found;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        found << QDir(root).relativeFilePath(it.next());
    found.sort();
    return found;
}

void choose(QFileDialog &dialog, const QString &name)
{
    auto *edit = dialog.findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    QVERIFY(edit);
    edit->setText(name);
    QTest::keyClick(edit, Qt::Key_Return);
}

} // namespace

class TestLeavesNoTrace : public QObject {
    Q_OBJECT
public:
    explicit TestLeavesNoTrace(QString userRoot) : m_userRoot(std::move(userRoot)) {}

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void realDialogKeepsNoStateBetweenRuns();
    void badMovieLeavesStandardErrorEmpty();

private:
    void openMovie() { m_viewer->menuItem(QStringLiteral("mnuOpen"))->trigger(); }

    const QString m_userRoot;
    QTemporaryDir m_media;
    QTemporaryDir m_elsewhere;
    QByteArray m_plantedState;
    std::unique_ptr<WindowRegistry> m_registry;
    DesignedWindow *m_viewer = nullptr;
    QStringList m_messages;
};

void TestLeavesNoTrace::initTestCase()
{
    setUpApplication(*qApp);
    MessageBox::setPresenter(
        [this](const QString &text, const QString &title) { m_messages << title + ": " + text; });
    test::MovieOptions o;
    o.frames = 5;
    QVERIFY(test::MovieWriter::write(m_media.filePath(QStringLiteral("clip.avi")), o));
    QFile text(m_media.filePath(QStringLiteral("notes.avi")));
    QVERIFY(text.open(QIODevice::WriteOnly));
    text.write("Shopping list: milk, bread.\n");
    text.close();
    QVERIFY(QDir::setCurrent(m_media.path()));

    // What Qt's file dialog of another program leaves: a last folder and a history elsewhere,
    // the list view (Qt's first choice is the detail view).
    const QString elsewhere = QUrl::fromLocalFile(m_elsewhere.path()).toString();
    m_plantedState = "[FileDialog]\nhistory=" + elsewhere.toUtf8() +
                     "\nlastVisited=" + elsewhere.toUtf8() + "\nviewMode=List\n";
    QFile state(qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/QtProject.conf"));
    QVERIFY(state.open(QIODevice::WriteOnly));
    state.write(m_plantedState);
}

void TestLeavesNoTrace::init()
{
    m_messages.clear();
    m_registry = std::make_unique<WindowRegistry>(kitWindowFactories());
    DesignedWindow &main = m_registry->get(WindowClass::MainMenu);
    WindowRegistry::show(main);
    main.menuItem(QStringLiteral("mnuAvi"))->trigger();
    m_viewer = &m_registry->get(WindowClass::AviViewer);
    media::DeviceContext context;
    context.sinks = [] { return std::make_unique<media::TestAudioSink>(); };
    m_viewer->control<media::MediaControl>(QStringLiteral("MMControl1"))
        ->setDeviceContext(std::move(context));
}

void TestLeavesNoTrace::cleanup()
{
    m_viewer = nullptr;
    m_registry.reset();
}

void TestLeavesNoTrace::realDialogKeepsNoStateBetweenRuns()
{
    QString startedIn;
    QFileDialog::ViewMode view = QFileDialog::List;
    test::whenModalShows<QFileDialog>([&](QFileDialog &d) {
        startedIn = d.directory().absolutePath();
        view = d.viewMode();
        choose(d, QStringLiteral("clip.avi"));
    });
    openMovie();
    QCOMPARE(m_viewer->windowTitle(), QStringLiteral("The ZYR Multimedia AVI Viewer"));
    test::whenModalShows<QFileDialog>(
        [&](QFileDialog &d) { choose(d, QStringLiteral("notes.avi")); });
    openMovie();
    QCOMPARE(m_messages,
             QStringList{QStringLiteral("Error: Can't Open ") + m_media.filePath("notes.avi")});
    test::whenModalShows<QFileDialog>([](QFileDialog &d) { d.reject(); });
    openMovie();
    cleanup(); // the windows and their dialogs are gone, as when the kit ends

    // As on a first run: the current folder, the detail view.
    QCOMPARE(startedIn, QDir::currentPath());
    QCOMPARE(view, QFileDialog::Detail);
    QCOMPARE(everythingUnder(m_userRoot), (QStringList{"cache", "config", "config/QtProject.conf",
                                                       "data", "home", "runtime", "state"}));
    QFile state(m_userRoot + QStringLiteral("/config/QtProject.conf"));
    QVERIFY(state.open(QIODevice::ReadOnly));
    QCOMPARE(state.readAll(), m_plantedState);
}

void TestLeavesNoTrace::badMovieLeavesStandardErrorEmpty()
{
    const QString bad = m_media.filePath(QStringLiteral("notes.avi"));
    m_viewer->control<media::FileOpenDialog>(QStringLiteral("CMDialog1"))
        ->setPresenter([&](const media::FileOpenDialog::Request &) { return bad; });
    StandardErrorCapture standardError;
    QVERIFY(standardError.isCapturing());
    openMovie();
    // What SDL's ALSA driver meets on a machine without a sound card.
    snd_pcm_t *pcm = nullptr;
    const int opened = snd_pcm_open(&pcm, "zyr_no_such_pcm", SND_PCM_STREAM_PLAYBACK, 0);
    const QByteArray printed = standardError.text();
    QCOMPARE(m_messages, QStringList{QStringLiteral("Error: Can't Open ") + bad});
    QVERIFY(opened < 0);
    QCOMPARE(printed, QByteArray());
}

int main(int argc, char **argv)
{
    // The user's folders for this run, made before Qt looks at any of them; the runtime folder
    // private, as XDG requires.
    QTemporaryDir userRoot;
    if (!userRoot.isValid())
        return 2;
    for (const UserFolder &f : kUserFolders) {
        const QString folder = userRoot.filePath(QLatin1String(f.name));
        if (!QDir().mkpath(folder))
            return 2;
        qputenv(f.variable, QFile::encodeName(folder));
    }
    QFile::setPermissions(userRoot.filePath(QStringLiteral("runtime")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QApplication app(argc, argv);
    TestLeavesNoTrace test(userRoot.path());
    return QTest::qExec(&test, argc, argv);
}

#include "tst_leavesnotrace.moc"
