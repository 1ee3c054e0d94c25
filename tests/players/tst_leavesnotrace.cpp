// What the kit leaves behind: no file in the user's folders (the file dialog's state included),
// nothing taken from a state another Qt program left there, and nothing on standard error when
// a library meets a bad file or a missing sound card. main() points HOME and the XDG folders at
// fresh ones, before Qt starts, with that state planted in them.

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
#include <QDirIterator>
#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTemporaryFile>

#include <alsa/asoundlib.h>

#include <cstdio>
#include <unistd.h>

using namespace zyr;

namespace {

const char *const kUserFolders[][2] = {{"HOME", "home"},
                                       {"XDG_CONFIG_HOME", "config"},
                                       {"XDG_DATA_HOME", "data"},
                                       {"XDG_CACHE_HOME", "cache"},
                                       {"XDG_STATE_HOME", "state"},
                                       {"XDG_RUNTIME_DIR", "runtime"}};

// What `act` writes to standard error (file descriptor 2).
QByteArray standardErrorOf(const std::function<void()> &act)
{
    QTemporaryFile file;
    if (!file.open())
        return "cannot capture standard error";
    std::fflush(stderr);
    const int saved = ::dup(STDERR_FILENO);
    ::dup2(file.handle(), STDERR_FILENO);
    act();
    std::fflush(stderr);
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);
    file.seek(0);
    return file.readAll();
}

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
    void cleanup() { m_registry.reset(); }
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
    MessageBox::setPresenter([this](const QString &text, const QString &) { m_messages << text; });
    QVERIFY(test::MovieWriter::write(m_media.filePath(QStringLiteral("clip.avi")), {}));
    QFile text(m_media.filePath(QStringLiteral("notes.avi")));
    QVERIFY(text.open(QIODevice::WriteOnly));
    text.write("Shopping list: milk, bread.\n");
    QVERIFY(QDir::setCurrent(m_media.path()));
    // Another program's dialog: its last folder elsewhere, the list view (Qt's default is the
    // detail view).
    const QByteArray elsewhere = QUrl::fromLocalFile(m_elsewhere.path()).toEncoded();
    m_plantedState =
        "[FileDialog]\nhistory=" + elsewhere + "\nlastVisited=" + elsewhere + "\nviewMode=List\n";
    QFile state(m_userRoot + QStringLiteral("/config/QtProject.conf"));
    QVERIFY(state.open(QIODevice::WriteOnly));
    state.write(m_plantedState);
}

void TestLeavesNoTrace::init()
{
    m_messages.clear();
    m_registry = std::make_unique<WindowRegistry>(kitWindowFactories());
    m_registry->get(WindowClass::MainMenu).menuItem(QStringLiteral("mnuAvi"))->trigger();
    m_viewer = &m_registry->get(WindowClass::AviViewer);
    media::DeviceContext context;
    context.sinks = [] { return std::make_unique<media::TestAudioSink>(); };
    m_viewer->control<media::MediaControl>(QStringLiteral("MMControl1"))
        ->setDeviceContext(std::move(context));
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
        [](QFileDialog &d) { choose(d, QStringLiteral("notes.avi")); });
    openMovie();
    QCOMPARE(m_messages,
             QStringList{"Can't Open " + m_media.filePath(QStringLiteral("notes.avi"))});
    cleanup(); // the windows and their dialogs are gone, as when the kit ends

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
    int opened = 0;
    const QByteArray printed = standardErrorOf([&] {
        openMovie();
        // What SDL's ALSA driver meets on a machine without a sound card.
        snd_pcm_t *pcm = nullptr;
        opened = snd_pcm_open(&pcm, "zyr_no_such_pcm", SND_PCM_STREAM_PLAYBACK, 0);
    });
    QCOMPARE(m_messages, QStringList{"Can't Open " + bad});
    QVERIFY(opened < 0);
    QCOMPARE(printed, QByteArray());
}

int main(int argc, char **argv)
{
    QTemporaryDir userRoot;
    for (const auto &[variable, name] : kUserFolders) {
        const QString folder = userRoot.filePath(QLatin1String(name));
        if (!QDir().mkpath(folder))
            return 2;
        qputenv(variable, QFile::encodeName(folder));
    }
    // Private, as XDG wants the runtime folder.
    QFile::setPermissions(userRoot.filePath(QStringLiteral("runtime")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QApplication app(argc, argv);
    TestLeavesNoTrace test(userRoot.path());
    return QTest::qExec(&test, argc, argv);
}

#include "tst_leavesnotrace.moc"
