// The movie's window: the picture as large as fits with its aspect ratio kept and black bars
// around it, and closing it handing over to the device instead of destroying anything.

#include "media/VideoWindow.h"

#include <QtTest>

using zyr::media::VideoWindow;

class TestVideoWindow : public QObject {
    Q_OBJECT
private slots:
    void pictureKeepsItsAspect_data();
    void pictureKeepsItsAspect();
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
}

void TestVideoWindow::pictureKeepsItsAspect()
{
    QFETCH(QSize, window);
    QFETCH(QRect, picture);
    VideoWindow w;
    w.prepare(QStringLiteral("clip.avi"), QSize(160, 120));
    QCOMPARE(w.windowTitle(), QStringLiteral("clip.avi"));
    QImage frame(160, 120, QImage::Format_RGB32);
    frame.fill(QColor(200, 30, 30));
    w.present(frame);
    w.resize(window);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QCOMPARE(w.pictureRect(), picture);
    const QImage shown = w.grab().toImage();
    QCOMPARE(shown.pixelColor(picture.center()), QColor(200, 30, 30));
    if (picture.left() > 0)
        QCOMPARE(shown.pixelColor(picture.left() / 2, window.height() / 2), QColor(Qt::black));
    if (picture.top() > 0)
        QCOMPARE(shown.pixelColor(window.width() / 2, picture.top() / 2), QColor(Qt::black));
}

void TestVideoWindow::closingHidesAndTellsTheDevice()
{
    VideoWindow w;
    w.prepare(QStringLiteral("clip.avi"), QSize(64, 48));
    int closes = 0;
    w.setCloseHandler([&] { ++closes; });
    w.setShown(true);
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.close();
    QCOMPARE(closes, 1);
    QVERIFY(!w.isShown());
    w.setShown(true); // Play shows it again
    QVERIFY(w.isShown());
}

QTEST_MAIN(TestVideoWindow)
#include "tst_videowindow.moc"
