// The kit on Wayland, as a client of the headless Weston that with-weston starts: the windows
// come up on Qt's Wayland platform and the compositor maps them, and the AVI viewer opens a
// movie and plays it to its end in the movie's own window. ZYR_WAYLAND_GRABS=FOLDER keeps
// pictures of the windows there for a look.

#include "app/ApplicationSetup.h"
#include "app/DesignedWindow.h"
#include "app/KitWindows.h"
#include "app/WindowRegistry.h"
#include "media/devices/FfmpegPictureConverter.h"
#include "media/FileOpenDialog.h"
#include "media/MediaControl.h"
#include "media/output/SilentAudioSink.h"
#include "media/VideoWindow.h"
#include "support/MovieWriter.h"

#include <QAction>
#include <QApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace zyr;

namespace {

// Keeps a grabbed picture where ZYR_WAYLAND_GRABS says, if it says.
void keep(const QImage &picture, const QString &name)
{
    const QString folder = qEnvironmentVariable("ZYR_WAYLAND_GRABS");
    if (!folder.isEmpty())
        picture.save(QDir(folder).filePath(name + QStringLiteral(".png")));
}

media::VideoWindow *shownVideoWindow()
{
    for (QWindow *w : QGuiApplication::topLevelWindows())
        if (auto *video = qobject_cast<media::VideoWindow *>(w); video && video->isVisible())
            return video;
    return nullptr;
}

// The screen as the compositor shows it, kept where ZYR_WAYLAND_GRABS says by weston's
// screenshooter (with-weston renders the windows and allows it).
void keepScreen()
{
    const QString folder = qEnvironmentVariable("ZYR_WAYLAND_GRABS");
    if (folder.isEmpty())
        return;
    QProcess shooter;
    shooter.setWorkingDirectory(folder);
    shooter.start(QStringLiteral("weston-screenshooter"), {});
    shooter.waitForFinished();
}

// The movie's window, keeping the number of the last picture handed to it (a Wayland client
// cannot read back what the compositor shows).
class WatchedWindow final : public media::VideoOutput {
public:
    WatchedWindow(std::unique_ptr<media::VideoOutput> window, std::shared_ptr<int> last)
        : m_window(std::move(window)), m_last(std::move(last))
    {
    }
    void prepare(const QString &title, QSize size) override { m_window->prepare(title, size); }
    void present(media::VideoPicture picture) override
    {
        const AVFrame &f = *picture.frame;
        *m_last = test::MovieWriter::readFrameIndex(
            media::FfmpegPictureConverter().toImage(f, QSize(f.width, f.height)).value());
        m_window->present(std::move(picture));
    }
    QSize pictureSize() const override { return m_window->pictureSize(); }
    void setShown(bool shown) override { m_window->setShown(shown); }
    bool isShown() const override { return m_window->isShown(); }
    void setCloseHandler(std::function<void()> h) override
    {
        m_window->setCloseHandler(std::move(h));
    }

private:
    std::unique_ptr<media::VideoOutput> m_window;
    std::shared_ptr<int> m_last;
};

} // namespace

class TestWayland : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void aviViewerPlaysAMovie();

private:
    QTemporaryDir m_dir;
    QString m_movie;
};

void TestWayland::initTestCase()
{
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("wayland"));
    setUpApplication(*qApp);
    test::MovieOptions o;
    o.width = 160;
    o.height = 120;
    o.rateNum = 10;
    o.frames = 20;
    m_movie = m_dir.filePath(QStringLiteral("clip.avi"));
    QVERIFY(test::MovieWriter::write(m_movie, o));
}

void TestWayland::aviViewerPlaysAMovie()
{
    WindowRegistry registry(kitWindowFactories());
    DesignedWindow &main = registry.get(WindowClass::MainMenu);
    WindowRegistry::show(main);
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    keep(main.grab().toImage(), QStringLiteral("main-menu"));

    main.menuItem(QStringLiteral("mnuAvi"))->trigger();
    DesignedWindow &viewer = registry.get(WindowClass::AviViewer);
    QVERIFY(QTest::qWaitForWindowExposed(&viewer));
    QVERIFY(!main.isVisible());
    auto &mm = *viewer.control<media::MediaControl>(QStringLiteral("MMControl1"));
    media::DeviceContext context;
    context.sinks = [] { return std::make_unique<media::SilentAudioSink>(); };
    auto lastShown = std::make_shared<int>(-1);
    context.videoOutputs = [lastShown, windows = media::videoWindowFactory()] {
        return std::make_unique<WatchedWindow>(windows(), lastShown);
    };
    mm.setDeviceContext(std::move(context));
    viewer.control<media::FileOpenDialog>(QStringLiteral("CMDialog1"))
        ->setPresenter([this](const media::FileOpenDialog::Request &) { return m_movie; });
    viewer.menuItem(QStringLiteral("mnuOpen"))->trigger();
    QCOMPARE(viewer.windowTitle(), QStringLiteral("The ZYR Multimedia AVI Viewer"));
    // The movie's window comes with its first picture.
    media::VideoWindow *video = nullptr;
    QTRY_VERIFY((video = shownVideoWindow()) != nullptr);
    QVERIFY(QTest::qWaitForWindowExposed(video));

    // Played in real time: the pictures move on in the movie's window, then the movie ends.
    QSignalSpy done(&mm, &media::MediaControl::done);
    mm.put(media::MediaControl::kCommand, QStringLiteral("Play"));
    QTRY_VERIFY_WITH_TIMEOUT(*lastShown >= 10, 60000);
    QVERIFY(video->isExposed());
    keepScreen();
    QTRY_COMPARE_WITH_TIMEOUT(done.size(), 1, 60000);
    QCOMPARE(done.front().front().toInt(), media::MediaControl::kNotifySuccessful);
    keep(viewer.grab().toImage(), QStringLiteral("avi-viewer"));
}

QTEST_MAIN(TestWayland)
#include "tst_wayland.moc"
