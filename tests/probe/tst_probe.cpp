// zyr-probe as benchmarks and scripts use it: one JSON line, exit 0 also for a refused file, and
// the modes the benchmarks time: decoding only, rendering only, and playing in real time.

#include "support/MidiWriter.h"
#include "support/MovieWriter.h"
#include "support/WavWriter.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

class TestProbe : public QObject {
    Q_OBJECT
private slots:
    void reportsAPlayAndARefusal_data();
    void reportsAPlayAndARefusal();
    void reportsThePicturesOfAMovie();
    void wrongCommandLine();
    void endsOnTerminate();
    void decodesAndRendersOnly();

private:
    QJsonObject probe(const QStringList &args, int *exitCode = nullptr);
};

QJsonObject TestProbe::probe(const QStringList &args, int *exitCode)
{
    QProcess p;
    p.start(QStringLiteral(ZYR_PROBE_PATH), args);
    if (!p.waitForFinished(60000))
        return {};
    if (exitCode)
        *exitCode = p.exitCode();
    const QList<QByteArray> lines = p.readAllStandardOutput().trimmed().split('\n');
    if (lines.size() != 1)
        return {};
    return QJsonDocument::fromJson(lines.front()).object();
}

void TestProbe::reportsAPlayAndARefusal_data()
{
    QTest::addColumn<QStringList>("mode");
    QTest::newRow("as fast as it decodes") << QStringList{};
    QTest::newRow("in real time") << QStringList{QStringLiteral("--realtime")};
}

void TestProbe::reportsAPlayAndARefusal()
{
    QFETCH(QStringList, mode);
    QTemporaryDir dir;
    zyr::test::WavOptions o;
    o.sampleRate = 22050;
    o.channels = 1;
    o.frames = 22050 * 3 / 2;
    const QString wav = dir.filePath(QStringLiteral("sound.wav"));
    QVERIFY(zyr::test::WavWriter::write(wav, o));

    int code = -1;
    QJsonObject r = probe(mode + QStringList{QStringLiteral("WaveAudio"), wav}, &code);
    QCOMPARE(code, 0);
    QCOMPARE(r.value(QStringLiteral("device")).toString(), QStringLiteral("WaveAudio"));
    QCOMPARE(r.value(QStringLiteral("path")).toString(), wav);
    QCOMPARE(r.value(QStringLiteral("error")).toInt(), 0);
    QCOMPARE(r.value(QStringLiteral("length_ms")).toInt(), 1500);
    QCOMPARE(r.value(QStringLiteral("position_ms")).toInt(), 1500);
    QCOMPARE(r.value(QStringLiteral("done")).toArray(), QJsonArray{1});
    QVERIFY(r.value(QStringLiteral("cpu_s")).toDouble() > 0);
    // Through SDL (its dummy driver here) in real time, the play takes at least about the
    // sound's length; only a lower bound, as a busy machine may take longer.
    if (!mode.isEmpty())
        QVERIFY2(r.value(QStringLiteral("wall_s")).toDouble() >= 0.9 * 1.5,
                 qPrintable(QString::number(r.value(QStringLiteral("wall_s")).toDouble())));

    const QString text = dir.filePath(QStringLiteral("notes.txt"));
    QVERIFY(zyr::test::WavWriter::writeText(text));
    r = probe({QStringLiteral("WaveAudio"), text}, &code);
    QCOMPARE(code, 0);
    QVERIFY(r.value(QStringLiteral("error")).toInt() > 0);
    QVERIFY(!r.value(QStringLiteral("message")).toString().isEmpty());
    QCOMPARE(r.value(QStringLiteral("done")).toArray(), QJsonArray{});

    r = probe({QStringLiteral("NoSuchDevice"), wav}, &code);
    QCOMPARE(code, 0);
    QVERIFY(r.value(QStringLiteral("error")).toInt() > 0);
}

void TestProbe::reportsThePicturesOfAMovie()
{
    // In real time the movie shows in its window (offscreen here), filling the screen with
    // --maximized. Every picture is shown or dropped, and the line counts both; the last one
    // may still be on its way when Done ends the probe.
    QTemporaryDir dir;
    zyr::test::MovieOptions o;
    o.rateNum = 10;
    o.frames = 10;
    const QString avi = dir.filePath(QStringLiteral("second.avi"));
    QVERIFY(zyr::test::MovieWriter::write(avi, o));
    for (const QStringList &mode :
         {QStringList{QStringLiteral("--realtime")},
          QStringList{QStringLiteral("--realtime"), QStringLiteral("--maximized")}}) {
        int code = -1;
        const QJsonObject r = probe(mode + QStringList{QStringLiteral("AVIVideo"), avi}, &code);
        QCOMPARE(code, 0);
        QCOMPARE(r.value(QStringLiteral("done")).toArray(), QJsonArray{1});
        const int shown = r.value(QStringLiteral("pictures_shown")).toInt(-1);
        const int dropped = r.value(QStringLiteral("pictures_dropped")).toInt(-1);
        QVERIFY2(shown >= 1 && dropped >= 0 && shown + dropped >= o.frames - 1 &&
                     shown + dropped <= o.frames,
                 qPrintable(QStringLiteral("%1 shown, %2 dropped").arg(shown).arg(dropped)));
    }
}

void TestProbe::wrongCommandLine()
{
    // No medium; and each mode takes its own device type only.
    for (const QStringList &args :
         {QStringList{}, QStringList{QStringLiteral("--maximized"), QStringLiteral("AVIVideo")},
          QStringList{QStringLiteral("--decode-only"), QStringLiteral("WaveAudio"),
                      QStringLiteral("x.avi")},
          QStringList{QStringLiteral("--render-only"), QStringLiteral("AVIVideo"),
                      QStringLiteral("x.mid")}}) {
        QProcess p;
        p.start(QStringLiteral(ZYR_PROBE_PATH), args);
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitCode(), 2);
        QVERIFY(p.readAllStandardOutput().isEmpty());
    }
}

void TestProbe::endsOnTerminate()
{
    // Playing in real time through SDL (its dummy driver here), a long sound; a SIGTERM must
    // end the process at once, as it ends any program the user or the session stops, after it
    // has printed where the play stood.
    QTemporaryDir dir;
    zyr::test::WavOptions o;
    o.sampleRate = 8000;
    o.channels = 1;
    o.frames = 8000 * 60;
    const QString wav = dir.filePath(QStringLiteral("minute.wav"));
    QVERIFY(zyr::test::WavWriter::write(wav, o));
    QProcess p;
    p.start(QStringLiteral(ZYR_PROBE_PATH),
            {QStringLiteral("--realtime"), QStringLiteral("WaveAudio"), wav});
    QVERIFY(p.waitForStarted());
    QTest::qWait(700);
    QCOMPARE(p.state(), QProcess::Running);
    p.terminate();
    // Ended by the signal, not by the minute of sound running out.
    QVERIFY2(p.waitForFinished(30000), "the process went on after SIGTERM");
    QCOMPARE(p.exitStatus(), QProcess::CrashExit); // ended by the signal
    const QJsonObject r = QJsonDocument::fromJson(p.readAllStandardOutput().trimmed()).object();
    QCOMPARE(r.value(QStringLiteral("done")).toArray(), QJsonArray{});
    QVERIFY(r.value(QStringLiteral("message")).toString().contains(QStringLiteral("TERM")));
    QVERIFY(r.contains(QStringLiteral("position_ms")));
}

void TestProbe::decodesAndRendersOnly()
{
    QTemporaryDir dir;
    zyr::test::MovieOptions movie;
    movie.frames = 30;
    const QString avi = dir.filePath(QStringLiteral("movie.avi"));
    QVERIFY(zyr::test::MovieWriter::write(avi, movie));
    QJsonObject r = probe({QStringLiteral("--decode-only"), QStringLiteral("AVIVideo"), avi});
    QCOMPARE(r.value(QStringLiteral("error")).toInt(), 0);
    QCOMPARE(r.value(QStringLiteral("frames")).toInt(), 30);
    QCOMPARE(r.value(QStringLiteral("length_ms")).toInt(), 2000); // 30 pictures at 15 a second
    const QString text = dir.filePath(QStringLiteral("notes.txt"));
    QVERIFY(zyr::test::WavWriter::writeText(text));
    r = probe({QStringLiteral("--decode-only"), QStringLiteral("AVIVideo"), text});
    QVERIFY(r.value(QStringLiteral("error")).toInt() > 0);
    QCOMPARE(r.value(QStringLiteral("frames")).toInt(), 0);

    // Two seconds of music (four quarter notes at 120 a minute); the synthesizer's ringing
    // tail comes on top.
    zyr::test::MidiWriter song(0, 480);
    song.track().noteOn(0, 0, 60, 100).noteOff(4 * 480, 0, 60).endOfTrack();
    const QString mid = dir.filePath(QStringLiteral("song.mid"));
    QVERIFY(song.save(mid));
    r = probe({QStringLiteral("--render-only"), QStringLiteral("Sequencer"), mid});
    QCOMPARE(r.value(QStringLiteral("error")).toInt(), 0);
    QVERIFY2(r.value(QStringLiteral("rendered_s")).toDouble() >= 2.0,
             qPrintable(QString::number(r.value(QStringLiteral("rendered_s")).toDouble())));
    QVERIFY(!r.value(QStringLiteral("soundfont")).toString().isEmpty());
}

QTEST_GUILESS_MAIN(TestProbe)
#include "tst_probe.moc"
