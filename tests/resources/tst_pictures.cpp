// Checks the pictures and the icon compiled into the program: the container facts each file must
// have (read back from its bytes by a small structural walker, not a decoder), and that Qt's own
// readers load them as expected.

#include <QDir>
#include <QFile>
#include <QIcon>
#include <QImage>
#include <QImageReader>
#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QtTest>

namespace {

QByteArray readResource(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

// Little-endian reads that never run past the end; a short read marks the reader failed.
class ByteReader {
public:
    explicit ByteReader(const QByteArray &bytes) : m_bytes(bytes) {}

    bool failed() const { return m_failed; }
    qsizetype pos() const { return m_pos; }
    qsizetype remaining() const { return m_bytes.size() - m_pos; }

    void seek(qsizetype pos)
    {
        if (pos < 0 || pos > m_bytes.size()) {
            m_failed = true;
            m_pos = m_bytes.size();
        } else {
            m_pos = pos;
        }
    }

    QByteArray take(qsizetype n)
    {
        if (n < 0 || n > remaining()) {
            m_failed = true;
            m_pos = m_bytes.size();
            return {};
        }
        QByteArray out = m_bytes.mid(m_pos, n);
        m_pos += n;
        return out;
    }

    void skip(qsizetype n) { take(n); }

    quint8 u8()
    {
        const QByteArray b = take(1);
        return b.isEmpty() ? 0 : quint8(b[0]);
    }

    quint16 u16()
    {
        const quint16 lo = u8();
        const quint16 hi = u8();
        return quint16(lo | (hi << 8));
    }

    quint32 u32()
    {
        const quint32 lo = u16();
        const quint32 hi = u16();
        return lo | (hi << 16);
    }

private:
    const QByteArray &m_bytes;
    qsizetype m_pos = 0;
    bool m_failed = false;
};

struct GifFrameInfo {
    QRect rect;
    bool hasControl = false; // a graphic control extension precedes the image
    int disposal = 0;
    int delay = -1;
    int transparent = -1; // -1: no transparent colour
    bool localTable = false;
    int minCodeSize = 0;
    qsizetype dataBytes = 0;
};

struct GifInfo {
    QByteArray version;
    QSize screen;
    int globalColours = 0; // 0: no global colour table
    int background = 0;
    int loopCount = -1; // -1: no looping block
    int extensions = 0;
    QList<GifFrameInfo> frames;
    bool complete = false; // the trailer was reached
    qsizetype trailingBytes = 0;
    QString error;
};

QList<QByteArray> readSubBlocks(ByteReader &in)
{
    QList<QByteArray> blocks;
    for (;;) {
        const quint8 size = in.u8();
        if (in.failed() || size == 0)
            return blocks;
        blocks.append(in.take(size));
    }
}

quint8 byteAt(const QByteArray &b, qsizetype i)
{
    return quint8(b.at(i));
}

GifInfo walkGif(const QByteArray &bytes)
{
    GifInfo info;
    ByteReader in(bytes);
    const QByteArray signature = in.take(6);
    if (signature != "GIF87a" && signature != "GIF89a") {
        info.error = QStringLiteral("no GIF signature");
        return info;
    }
    info.version = signature.mid(3);
    const int width = in.u16();
    const int height = in.u16();
    info.screen = QSize(width, height);
    const quint8 flags = in.u8();
    info.background = in.u8();
    in.u8(); // pixel shape, unused
    if (flags & 0x80) {
        info.globalColours = 1 << ((flags & 7) + 1);
        in.skip(3 * info.globalColours);
    }

    GifFrameInfo pending;
    while (!in.failed()) {
        const quint8 introducer = in.u8();
        if (in.failed())
            break;
        if (introducer == 0x3B) {
            info.complete = true;
            info.trailingBytes = in.remaining();
            return info;
        }
        if (introducer == 0x21) {
            const quint8 label = in.u8();
            ++info.extensions;
            const QList<QByteArray> blocks = readSubBlocks(in);
            if (label == 0xF9) {
                if (blocks.size() != 1 || blocks[0].size() != 4) {
                    info.error = QStringLiteral("malformed graphic control extension");
                    return info;
                }
                const QByteArray &b = blocks[0];
                pending.hasControl = true;
                pending.disposal = (byteAt(b, 0) >> 2) & 7;
                pending.delay = byteAt(b, 1) | (byteAt(b, 2) << 8);
                pending.transparent = (byteAt(b, 0) & 1) ? byteAt(b, 3) : -1;
            } else if (label == 0xFF && !blocks.isEmpty() && blocks[0] == "NETSCAPE2.0") {
                if (blocks.size() != 2 || blocks[1].size() != 3 || byteAt(blocks[1], 0) != 1) {
                    info.error = QStringLiteral("malformed looping block");
                    return info;
                }
                info.loopCount = byteAt(blocks[1], 1) | (byteAt(blocks[1], 2) << 8);
            }
            continue;
        }
        if (introducer == 0x2C) {
            GifFrameInfo frame = pending;
            pending = GifFrameInfo();
            const int left = in.u16();
            const int top = in.u16();
            const int w = in.u16();
            const int h = in.u16();
            const quint8 imageFlags = in.u8();
            frame.rect = QRect(left, top, w, h);
            if (imageFlags & 0x80) {
                frame.localTable = true;
                in.skip(3 * (1 << ((imageFlags & 7) + 1)));
            }
            frame.minCodeSize = in.u8();
            for (const QByteArray &block : readSubBlocks(in))
                frame.dataBytes += block.size();
            info.frames.append(frame);
            continue;
        }
        info.error = QStringLiteral("unknown block 0x%1 at offset %2")
                         .arg(introducer, 2, 16, QLatin1Char('0'))
                         .arg(in.pos() - 1);
        return info;
    }
    info.error = QStringLiteral("file ends before the trailer");
    return info;
}

struct IcoInfo {
    int reserved = -1;
    int type = -1;
    int count = -1;
    int width = -1;
    int height = -1;
    int colours = -1;
    int planes = -1;
    int bitCount = -1;
    quint32 bytesInRes = 0;
    quint32 offset = 0;
    bool png = false;
    quint32 dibHeaderSize = 0;
    qint32 dibWidth = 0;
    qint32 dibHeight = 0;
    int dibPlanes = -1;
    int dibBitCount = -1;
    quint32 compression = 0xFFFFFFFF;
    QByteArray palette; // blue, green, red, reserved per entry
    QByteArray xorBits; // colour indices, bottom-up rows, 32-bit aligned
    QByteArray andMask; // bottom-up rows, 32-bit aligned
    QString error;
};

IcoInfo walkIco(const QByteArray &bytes)
{
    IcoInfo info;
    ByteReader in(bytes);
    info.reserved = in.u16();
    info.type = in.u16();
    info.count = in.u16();
    if (in.failed() || info.count < 1) {
        info.error = QStringLiteral("no icon directory");
        return info;
    }
    info.width = in.u8();
    info.height = in.u8();
    info.colours = in.u8();
    in.u8(); // reserved
    info.planes = in.u16();
    info.bitCount = in.u16();
    info.bytesInRes = in.u32();
    info.offset = in.u32();
    if (in.failed() || qsizetype(info.offset) + qsizetype(info.bytesInRes) > bytes.size()) {
        info.error = QStringLiteral("directory entry points outside the file");
        return info;
    }
    in.seek(info.offset);
    info.png = bytes.mid(info.offset, 8) == QByteArray("\x89PNG\r\n\x1a\n", 8);
    if (info.png)
        return info;
    info.dibHeaderSize = in.u32();
    info.dibWidth = qint32(in.u32());
    info.dibHeight = qint32(in.u32());
    info.dibPlanes = in.u16();
    info.dibBitCount = in.u16();
    info.compression = in.u32();
    if (in.failed() || info.dibHeaderSize < 40 || info.dibBitCount <= 0 || info.dibBitCount > 8 ||
        info.dibWidth <= 0 || info.dibHeight <= 0) {
        info.error = QStringLiteral("unexpected bitmap header");
        return info;
    }
    // Colour table, then the colour bits, then the mask; rows are padded to 32 bits.
    const qsizetype paletteBytes = qsizetype(4) << info.dibBitCount;
    const qsizetype rows = info.dibHeight / 2;
    const qsizetype xorStride = (info.dibWidth * info.dibBitCount + 31) / 32 * 4;
    const qsizetype andStride = (info.dibWidth + 31) / 32 * 4;
    in.seek(info.offset + info.dibHeaderSize);
    info.palette = in.take(paletteBytes);
    info.xorBits = in.take(xorStride * rows);
    info.andMask = in.take(andStride * rows);
    if (in.failed())
        info.error = QStringLiteral("mask runs past the end of the file");
    return info;
}

const QString kDir = QStringLiteral(":/pictures/");

} // namespace

class TestPictures : public QObject {
    Q_OBJECT

private slots:
    void allPicturesAreStored();
    void gifFacts_data();
    void gifFacts();
    void firstFrameLoads_data();
    void firstFrameLoads();
    void iconFacts();
};

void TestPictures::allPicturesAreStored()
{
    QStringList names = QDir(QStringLiteral(":/pictures")).entryList(QDir::Files);
    names.sort();
    const QStringList expected{"clapperboard.gif", "disc-clef.gif", "disc-note.gif",
                               "disc-rainbow.gif", "kit.ico",       "loudspeaker.gif",
                               "television.gif"};
    QCOMPARE(names, expected);
}

// transparent: the transparent index every frame's control block must name; -1 means the picture
// has no transparency at all, -2 that it must have some, whichever index. colours 0 and
// background/delay -1 mean "not pinned".
void TestPictures::gifFacts_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("version");
    QTest::addColumn<QSize>("screen");
    QTest::addColumn<int>("colours");
    QTest::addColumn<int>("background");
    QTest::addColumn<QList<QRect>>("frames");
    QTest::addColumn<int>("transparent");
    QTest::addColumn<int>("delay");
    QTest::addColumn<int>("loop");

    QTest::newRow("clapperboard") << "clapperboard.gif" << QByteArray("89a") << QSize(34, 35) << 0
                                  << -1 << QList<QRect>{{0, 0, 34, 35}, {0, 0, 34, 35}} << -1 << -1
                                  << -1;
    QTest::newRow("disc-note") << "disc-note.gif" << QByteArray("89a") << QSize(31, 34) << 0 << -1
                               << QList<QRect>{{0, 0, 31, 34}} << -2 << -1 << -1;
    QTest::newRow("disc-clef") << "disc-clef.gif" << QByteArray("89a") << QSize(32, 32) << 256 << -1
                               << QList<QRect>{{0, 0, 32, 32}} << -2 << -1 << -1;
    QTest::newRow("loudspeaker") << "loudspeaker.gif" << QByteArray("87a") << QSize(33, 37) << 2
                                 << -1 << QList<QRect>{{0, 0, 33, 37}} << -1 << -1 << -1;
    QTest::newRow("television") << "television.gif" << QByteArray("89a") << QSize(131, 106) << 32
                                << -1
                                << QList<QRect>{{5, 1, 126, 105},
                                                {21, 15, 84, 67},
                                                {21, 14, 84, 68}}
                                << 16 << 0 << 1000;
    QTest::newRow("disc-rainbow") << "disc-rainbow.gif" << QByteArray("89a") << QSize(50, 50) << 256
                                  << 98 << QList<QRect>{{0, 0, 50, 50}} << 98 << 0 << -1;
}

void TestPictures::gifFacts()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, version);
    QFETCH(QSize, screen);
    QFETCH(int, colours);
    QFETCH(int, background);
    QFETCH(QList<QRect>, frames);
    QFETCH(int, transparent);
    QFETCH(int, delay);
    QFETCH(int, loop);

    const QByteArray bytes = readResource(kDir + file);
    QVERIFY2(!bytes.isEmpty(), qPrintable(file + " is not in the resources"));
    const GifInfo info = walkGif(bytes);
    QVERIFY2(info.error.isEmpty(), qPrintable(info.error));
    QVERIFY(info.complete);
    QCOMPARE(info.trailingBytes, qsizetype(0));

    QCOMPARE(info.version, version);
    QCOMPARE(info.screen, screen);
    QVERIFY2(info.globalColours > 0, "no global colour table");
    if (colours > 0)
        QCOMPARE(info.globalColours, colours);
    if (background >= 0)
        QCOMPARE(info.background, background);
    QVERIFY(info.background < info.globalColours);
    if (version == "87a")
        QCOMPARE(info.extensions, 0);
    QCOMPARE(info.loopCount, loop);

    QCOMPARE(info.frames.size(), frames.size());
    for (qsizetype i = 0; i < frames.size(); ++i) {
        const GifFrameInfo &frame = info.frames.at(i);
        QCOMPARE(frame.rect, frames.at(i));
        QVERIFY(QRect(QPoint(0, 0), screen).contains(frame.rect));
        QVERIFY(!frame.localTable);
        QVERIFY(frame.minCodeSize >= 2 && frame.minCodeSize <= 8);
        QVERIFY((1 << frame.minCodeSize) >= info.globalColours);
        QVERIFY(frame.dataBytes > 0);
        if (transparent == -1) {
            QCOMPARE(frame.transparent, -1);
        } else {
            QVERIFY2(frame.hasControl, qPrintable(QString("frame %1 has no control block").arg(i)));
            if (transparent >= 0)
                QCOMPARE(frame.transparent, transparent);
            else
                QVERIFY(frame.transparent >= 0);
            QVERIFY(frame.transparent < info.globalColours);
        }
        if (delay >= 0) {
            QVERIFY(frame.hasControl);
            QCOMPARE(frame.delay, delay);
        }
    }

    // Qt's reader must see the same number of images and the same looping.
    QImageReader reader(kDir + file);
    QCOMPARE(reader.imageCount(), int(frames.size()));
    if (loop >= 0)
        QCOMPARE(reader.loopCount(), loop);
}

void TestPictures::firstFrameLoads_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("clearCorners");
    QTest::addColumn<QPoint>("hole"); // a see-through pixel in the middle, or (-1, -1)

    const QPoint none(-1, -1);
    QTest::newRow("clapperboard") << "clapperboard.gif" << QSize(34, 35) << false << none;
    QTest::newRow("disc-note") << "disc-note.gif" << QSize(31, 34) << true << QPoint(15, 18);
    QTest::newRow("disc-clef") << "disc-clef.gif" << QSize(32, 32) << true << none;
    QTest::newRow("loudspeaker") << "loudspeaker.gif" << QSize(33, 37) << false << none;
    QTest::newRow("television") << "television.gif" << QSize(131, 106) << true << none;
    QTest::newRow("disc-rainbow") << "disc-rainbow.gif" << QSize(50, 50) << true << QPoint(25, 25);
    QTest::newRow("kit icon") << "kit.ico" << QSize(32, 32) << true << none;
}

void TestPictures::firstFrameLoads()
{
    QFETCH(QString, file);
    QFETCH(QSize, size);
    QFETCH(bool, clearCorners);
    QFETCH(QPoint, hole);

    QImageReader reader(kDir + file);
    const QImage image = reader.read();
    QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
    QCOMPARE(image.size(), size);

    const QList<QPoint> corners{{0, 0},
                                {size.width() - 1, 0},
                                {0, size.height() - 1},
                                {size.width() - 1, size.height() - 1}};
    for (const QPoint &p : corners) {
        const int alpha = qAlpha(image.pixel(p));
        if (clearCorners)
            QVERIFY2(
                alpha == 0,
                qPrintable(QString("corner (%1, %2) is not see-through").arg(p.x()).arg(p.y())));
        else
            QVERIFY2(alpha == 255,
                     qPrintable(QString("corner (%1, %2) is not opaque").arg(p.x()).arg(p.y())));
    }
    if (hole.x() >= 0)
        QCOMPARE(qAlpha(image.pixel(hole)), 0);

    // Something is drawn: a picture of one flat colour would pass the checks above.
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) != 0)
                colours.insert(image.pixel(x, y));
    QVERIFY(colours.size() >= 2);
    if (file == QLatin1String("loudspeaker.gif"))
        QCOMPARE(colours, (QSet<QRgb>{qRgb(0, 0, 0), qRgb(255, 255, 255)}));
    if (clearCorners) {
        // ... and most of it is opaque.
        int opaque = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                opaque += qAlpha(image.pixel(x, y)) == 255;
        QVERIFY(opaque > image.width() * image.height() / 2);
    }
}

void TestPictures::iconFacts()
{
    const QString path = kDir + QStringLiteral("kit.ico");
    const QByteArray bytes = readResource(path);
    QVERIFY(!bytes.isEmpty());
    const IcoInfo info = walkIco(bytes);
    QVERIFY2(info.error.isEmpty(), qPrintable(info.error));

    QCOMPARE(info.reserved, 0);
    QCOMPARE(info.type, 1);
    QCOMPARE(info.count, 1);
    QCOMPARE(info.width, 32);
    QCOMPARE(info.height, 32);
    QCOMPARE(info.colours, 16);
    QCOMPARE(info.bitCount, 4);
    QCOMPARE(info.offset, quint32(6 + 16));
    QCOMPARE(qsizetype(info.offset) + qsizetype(info.bytesInRes), bytes.size());
    QVERIFY2(!info.png, "the icon image is PNG-compressed");

    QCOMPARE(info.dibHeaderSize, quint32(40));
    QCOMPARE(info.dibWidth, 32);
    QCOMPARE(info.dibHeight, 64); // colour bits and mask together
    QCOMPARE(info.dibPlanes, 1);
    QCOMPARE(info.dibBitCount, 4);
    QCOMPARE(info.compression, quint32(0));
    // Header, 16 colours, 4-bit pixels, 1-bit mask.
    QCOMPARE(info.bytesInRes, quint32(40 + 16 * 4 + 32 * 16 + 32 * 4));

    // Qt's icon reader agrees with the mask, row for row (the mask is stored bottom-up).
    QImageReader reader(path);
    QCOMPARE(reader.format(), QByteArray("ico"));
    const QImage image = reader.read();
    QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
    QCOMPARE(image.size(), QSize(32, 32));
    QCOMPARE(info.xorBits.size(), qsizetype(32 * 16));
    QCOMPARE(info.andMask.size(), qsizetype(32 * 4));
    int masked = 0;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            const quint8 maskByte = quint8(info.andMask.at((31 - y) * 4 + x / 8));
            const bool clear = maskByte & (0x80 >> (x % 8));
            const quint8 pair = quint8(info.xorBits.at((31 - y) * 16 + x / 2));
            const int index = (x % 2 == 0) ? pair >> 4 : pair & 0x0F;
            masked += clear;
            const QString where = QString("(%1, %2)").arg(x).arg(y);
            QVERIFY2(clear == (qAlpha(image.pixel(x, y)) == 0),
                     qPrintable("mask and decoded alpha differ at " + where));
            // Under a set mask bit the colour must be index 0 (black); anything else is XORed
            // onto the desktop and shows as an inverted dot.
            if (clear)
                QVERIFY2(index == 0, qPrintable("masked pixel with a colour at " + where));
        }
    }
    QVERIFY(masked > 0 && masked < 32 * 32 / 2);

    // Sixteen palette entries, each with its fourth byte zero.
    QCOMPARE(info.palette.size(), qsizetype(16 * 4));
    for (int i = 0; i < 16; ++i)
        QCOMPARE(int(info.palette.at(i * 4 + 3)), 0);

    // Grey cabinets with green displays: both must make up a fair share of the picture.
    int grey = 0;
    int green = 0;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            const QRgb p = image.pixel(x, y);
            if (qAlpha(p) == 0)
                continue;
            if (qRed(p) == qGreen(p) && qGreen(p) == qBlue(p) && qRed(p) >= 96 && qRed(p) <= 224)
                ++grey;
            if (qGreen(p) >= 128 && qRed(p) <= 64 && qBlue(p) <= 64)
                ++green;
        }
    }
    QVERIFY2(grey >= 200, qPrintable(QString("only %1 grey pixels").arg(grey)));
    QVERIFY2(green >= 30, qPrintable(QString("only %1 green pixels").arg(green)));

    // It is usable as the window icon.
    const QIcon icon(path);
    QVERIFY(!icon.isNull());
    QVERIFY(icon.availableSizes().contains(QSize(32, 32)));
}

QTEST_MAIN(TestPictures)
#include "tst_pictures.moc"
