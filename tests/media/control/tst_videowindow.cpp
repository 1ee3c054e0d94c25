// The movie's window: the picture converted straight into the window, as large as fits with
// its aspect ratio kept and black bars around it, filling the screen when asked to; and closing
// it handing over to the device instead of destroying anything.

#include "media/VideoWindow.h"

#include <QScreen>
#include <QtTest>

using zyr::media::FramePtr;
using zyr::media::VideoPicture;
using zyr::media::VideoWindow;

namespace {

const QColor kLeft(200, 30, 30);
const QColor kRight(30, 30, 200);

// A decoded picture of `size`: its left half kLeft, its right half kRight.
VideoPicture twoColourPicture(QSize size)
{
    FramePtr frame(av_frame_alloc());
    frame->format = AV_PIX_FMT_RGB32;
    frame->width = size.width();
    frame->height = size.height();
    if (av_frame_get_buffer(frame.get(), 0) < 0)
        qFatal("out of memory");
    for (int y = 0; y < size.height(); ++y) {
        auto *row = reinterpret_cast<QRgb *>(frame->data[0] + y * frame->linesize[0]);
        for (int x = 0; x < size.width(); ++x)
            row[x] = (x < size.width() / 2 ? kLeft : kRight).rgb();
    }
    return VideoPicture{0, 0, std::move(frame)};
}

QImage shown(VideoWindow &w)
{
    return w.screen()->grabWindow(w.winId()).toImage();
}

} // namespace

class TestVideoWindow : public QObject {
    Q_OBJECT
private slots:
    void pictureKeepsItsAspect_data();
    void pictureKeepsItsAspect();
    void everyNewWindowShowsItsPicture();
    void fillsTheScreenWhenAsked();
    void closingHidesAndTellsTheDevice();
};

void TestVideoWindow::pictureKeepsItsAspect_data()
{
    QTest::addColumn<QSize>("window");
    QTest::addColumn<QRect>("picture");
    QTest::newRow("own size") << QSize(160, 120) << QRect(0, 0, 160, 120);
    QTest::newRow("wider: bars left and right") << QSize(400, 120) << QRect(120, 0, 160, 120);
    QTest::newRow("taller: bars above and below") << QSize(160, 300) << QRect(0, 90, 160, 120);
    QTest::newRow("twice") << QSize(320, 240) << QRect(0, 0, 320, 240);
    QTest::newRow("larger and wider") << QSize(500, 300) << QRect(50, 0, 400, 300);
}

void TestVideoWindow::pictureKeepsItsAspect()
{
    QFETCH(QSize, window);
    QFETCH(QRect, picture);
    VideoWindow w;
    w.prepare(QStringLiteral("clip.avi"), QSize(160, 120));
    QCOMPARE(w.title(), QStringLiteral("clip.avi"));
    QCOMPARE(w.size(), QSize(160, 120));
    w.resize(window);
    w.setShown(true);
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QCOMPARE(w.pictureRect(), picture);
    // The size the device's worker scales pictures to, so that showing one needs no scaling.
    QCOMPARE(w.pictureSize(), picture.size());
    w.present(twoColourPicture(QSize(160, 120)));

    // A new backing store is warmed up first; the picture follows.
    const int quarter = picture.width() / 4;
    QTRY_COMPARE(shown(w).pixelColor(picture.left() + quarter, picture.center().y()), kLeft);
    const QImage image = shown(w);
    QCOMPARE(image.size(), window);
    QCOMPARE(image.pixelColor(picture.right() - quarter, picture.center().y()), kRight);
    if (picture.left() > 0) {
        QCOMPARE(image.pixelColor(picture.left() / 2, window.height() / 2), QColor(Qt::black));
        QCOMPARE(image.pixelColor(window.width() - 1 - picture.left() / 2, window.height() / 2),
                 QColor(Qt::black));
    }
    if (picture.top() > 0) {
        QCOMPARE(image.pixelColor(window.width() / 2, picture.top() / 2), QColor(Qt::black));
        QCOMPARE(image.pixelColor(window.width() / 2, window.height() - 1 - picture.top() / 2),
                 QColor(Qt::black));
    }
}

void TestVideoWindow::everyNewWindowShowsItsPicture()
{
    // A new window's backing store is warmed up by a thread, whose word often wakes the UI
    // thread before the thread has quite ended; the picture must follow all the same. The UI
    // thread waits in its event loop, as the kit's does, not in QTest's sleeps.
    for (int i = 0; i < 100; ++i) {
        VideoWindow w;
        w.prepare(QStringLiteral("clip.avi"), QSize(160, 120));
        w.setShown(true);
        w.present(twoColourPicture(QSize(160, 120)));
        QEventLoop loop;
        QTimer look;
        QObject::connect(&look, &QTimer::timeout, &loop, [&] {
            if (w.picturesPainted() > 0)
                loop.quit();
        });
        look.start(5);
        QTimer::singleShot(5000, &loop, &QEventLoop::quit);
        loop.exec();
        QCOMPARE(w.picturesPainted(), 1);
    }
}

void TestVideoWindow::fillsTheScreenWhenAsked()
{
    // Qt's offscreen screen is 800x800 with a 2-pixel frame around windows: the window takes
    // the 796x796 inside, and a 16:9 picture spans its width, with bars above and below.
    VideoWindow w(VideoWindow::Placement::FillScreen);
    w.prepare(QStringLiteral("wide.avi"), QSize(320, 180));
    QCOMPARE(w.geometry(), QRect(2, 2, 796, 796));
    QCOMPARE(w.pictureRect(), QRect(0, 174, 796, 447));
    QCOMPARE(w.pictureSize(), QSize(796, 447));
}

void TestVideoWindow::closingHidesAndTellsTheDevice()
{
    VideoWindow w;
    w.prepare(QStringLiteral("clip.avi"), QSize(64, 48));
    int closes = 0;
    w.setCloseHandler([&] { ++closes; });
    w.setShown(true);
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.present(twoColourPicture(QSize(64, 48)));
    QTRY_COMPARE(w.picturesPainted(), 1); // the backing store is warm from here on
    w.close();
    QCOMPARE(closes, 1);
    QVERIFY(!w.isShown());
    w.present(twoColourPicture(QSize(64, 48))); // not seen while the window is closed
    QCOMPARE(w.picturesPainted(), 1);
    w.setShown(true); // Play shows it again, and the picture with it
    QVERIFY(w.isShown());
    QTRY_COMPARE(w.picturesPainted(), 2);
}

QTEST_MAIN(TestVideoWindow)
#include "tst_videowindow.moc"
