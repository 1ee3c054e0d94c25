// The Sequencer device: MIDI files synthesized with the system's SoundFont, heard where the
// notes sound and silent where they do not; lengths through the tempo map; stop and seek
// leaving no hanging notes and restoring programs and controllers; bad files refused.

#include "media/devices/MidiFileReader.h"
#include "media/devices/MidiSynthSource.h"
#include "media/devices/SoundFontLibrary.h"
#include "media/MediaControl.h"
#include "media/MediaControlSettings.h"
#include "media/output/TestAudioSink.h"
#include "support/MidiWriter.h"

#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

using namespace zyr::media;
using zyr::test::MidiWriter;

namespace {

constexpr int kRate = 44100;

// Root mean square of the stereo frames [from, to) seconds.
double rms(const std::vector<float> &samples, double from, double to)
{
    const auto first = std::size_t(from * kRate) * 2;
    const auto last = std::min(samples.size(), std::size_t(to * kRate) * 2);
    if (first >= last)
        return 0;
    double sum = 0;
    for (std::size_t i = first; i < last; ++i)
        sum += double(samples[i]) * samples[i];
    return std::sqrt(sum / double(last - first));
}

// 480 ticks a quarter; at 120 bpm a quarter is 0.5 s.
constexpr std::uint32_t kQuarter = 480;

// A note on channel `channel` from `startQuarters` for `quarters`, the track ending at
// `endQuarters`.
QByteArray oneNote(int channel, int key, std::uint32_t startQuarters, std::uint32_t quarters,
                   std::uint32_t endQuarters)
{
    MidiWriter w(0, 480);
    w.track()
        .tempo(0, 500000)
        .noteOn(startQuarters * kQuarter, channel, key, 110)
        .noteOff(quarters * kQuarter, channel, key)
        .endOfTrack((endQuarters - startQuarters - quarters) * kQuarter);
    return w.bytes();
}

MidiSequence sequenceOf(const QByteArray &bytes)
{
    Result<MidiSequence> s = MidiFileReader::read(bytes);
    if (!s.ok())
        qFatal("bad test sequence: %s", qPrintable(s.error().message));
    return std::move(s).value();
}

// Everything a source renders from where it stands to its end.
std::vector<float> renderAll(MidiSynthSource &source)
{
    std::vector<float> out;
    std::vector<float> chunk(1024 * 2);
    for (;;) {
        const Result<std::size_t> got = source.read(chunk.data(), 1024);
        if (!got.ok() || got.value() == 0)
            break;
        out.insert(out.end(), chunk.begin(), chunk.begin() + std::ptrdiff_t(got.value() * 2));
    }
    return out;
}

} // namespace

class TestSequencer : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void lengthThroughTheControl_data();
    void lengthThroughTheControl();
    void soundWhereNotesSoundSilenceAfter();
    void drumsAndResetsAreHeard();
    void stopSilencesEveryVoice();
    void seekRestoresProgramsAndControllers();
    void badFilesRefused_data();
    void badFilesRefused();

private:
    QString save(const QString &name, const QByteArray &bytes);
    fluid_sfont_t *m_soundFont = nullptr;
    QTemporaryDir m_dir;
};

void TestSequencer::initTestCase()
{
    const Result<fluid_sfont_t *> font = SoundFontLibrary::instance().soundFont();
    QVERIFY2(font.ok(), qPrintable(font.ok() ? QString() : font.error().message));
    m_soundFont = font.value();
}

QString TestSequencer::save(const QString &name, const QByteArray &bytes)
{
    const QString path = m_dir.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

void TestSequencer::lengthThroughTheControl_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("lengthMs");
    QTest::newRow("format 0, one note") << oneNote(0, 60, 1, 2, 4) << 2000;
    {
        // Format 1: 2 quarters at 120 bpm (1 s), then 240 bpm for 4 quarters (1 s).
        MidiWriter w(1, 480);
        w.track().tempo(0, 500000).tempo(2 * kQuarter, 250000).endOfTrack(0);
        w.track().noteOn(0, 0, 64, 90).noteOff(6 * kQuarter, 0, 64).endOfTrack(0);
        QTest::newRow("format 1, tempo change in track 0") << w.bytes() << 2000;
    }
    {
        // Longer than 33 s: 70 quarters at 120 bpm.
        MidiWriter w(1, 96);
        auto &t = w.track();
        t.tempo(0, 500000);
        for (int i = 0; i < 70; ++i)
            t.noteOn(0, 9, 42, 80).noteOff(96, 9, 42);
        t.endOfTrack(0);
        QTest::newRow("35 seconds of drums") << w.bytes() << 35000;
    }
}

void TestSequencer::lengthThroughTheControl()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, lengthMs);
    MediaControl control(MediaControlSettings::toPersisted(5927, 873, 250, 0));
    control.setDeviceContext({[] { return std::make_unique<TestAudioSink>(); }, {}});
    control.put(MediaControl::kDeviceType, QStringLiteral("Sequencer"));
    control.put(MediaControl::kFileName, save(QStringLiteral("len.mid"), bytes));
    control.put(MediaControl::kCommand, QStringLiteral("Open"));
    QCOMPARE(control.error(), 0);
    QCOMPARE(control.length(), lengthMs);
    QSignalSpy done(&control, &MediaControl::done);
    control.put(MediaControl::kCommand, QStringLiteral("Play"));
    QTRY_COMPARE_WITH_TIMEOUT(done.size(), 1, 20000);
    QCOMPARE(done.front().front().toInt(), MediaControl::kNotifySuccessful);
    QCOMPARE(control.position(), control.length());
}

void TestSequencer::soundWhereNotesSoundSilenceAfter()
{
    // Silence for 0.5 s, a note from 0.5 s to 1.0 s, the track ending at 1.5 s.
    MediaControl control(MediaControlSettings::toPersisted(5927, 873, 250, 0));
    TestAudioSink *sink = nullptr;
    control.setDeviceContext({[&sink] {
                                  auto s = std::make_unique<TestAudioSink>();
                                  sink = s.get();
                                  return s;
                              },
                              {}});
    control.put(MediaControl::kDeviceType, QStringLiteral("Sequencer"));
    control.put(MediaControl::kFileName, save(QStringLiteral("note.mid"), oneNote(0, 69, 1, 1, 3)));
    control.put(MediaControl::kCommand, QStringLiteral("Open"));
    QCOMPARE(control.error(), 0);
    QCOMPARE(control.length(), 1500);
    QSignalSpy done(&control, &MediaControl::done);
    control.put(MediaControl::kCommand, QStringLiteral("Play"));
    QTRY_COMPARE_WITH_TIMEOUT(done.size(), 1, 20000);
    const std::vector<float> out = sink->received();
    const double seconds = double(out.size()) / 2 / kRate;
    // The whole length was played, then the release rang out for less than the longest tail.
    QVERIFY2(seconds >= 1.5 && seconds <= 1.5 + 3.0, qPrintable(QString::number(seconds)));
    // FluidSynth's silence sits near 1e-8; a note at the default gain is a thousand times that.
    QVERIFY2(rms(out, 0.0, 0.49) < 1e-6, qPrintable(QString::number(rms(out, 0.0, 0.49))));
    QVERIFY2(rms(out, 0.55, 0.95) > 0.002, qPrintable(QString::number(rms(out, 0.55, 0.95))));
    // What ends the output is silence: the last notes have died away.
    QVERIFY2(rms(out, seconds - 0.05, seconds) < 1e-4,
             qPrintable(QString::number(rms(out, seconds - 0.05, seconds))));
}

void TestSequencer::drumsAndResetsAreHeard()
{
    MidiWriter w(1, 480);
    w.setRunningStatus(true);
    w.track()
        .tempo(0, 500000)
        .sysex(0, MidiWriter::gmReset())
        .sysex(0, MidiWriter::gsReset())
        .endOfTrack(0);
    w.track(); // an empty track
    w.track().endOfTrack(0);
    w.track()
        .noteOn(kQuarter, 9, 38, 120) // snare on the drum channel
        .noteOn(0, 9, 42, 100)
        .noteOff(kQuarter, 9, 38)
        .noteOff(0, 9, 42)
        .endOfTrack(kQuarter);
    MidiSynthSource source(sequenceOf(w.bytes()), m_soundFont);
    QVERIFY(source.setOutputFormat({kRate, 2}).ok());
    const std::vector<float> out = renderAll(source);
    QVERIFY2(rms(out, 0.0, 0.45) < 1e-6, qPrintable(QString::number(rms(out, 0.0, 0.45))));
    QVERIFY2(rms(out, 0.5, 0.7) > 0.002, qPrintable(QString::number(rms(out, 0.5, 0.7))));
}

void TestSequencer::stopSilencesEveryVoice()
{
    // A long held chord; the device stops by seeking the source to where it stands.
    MidiWriter w(0, 480);
    w.track()
        .tempo(0, 500000)
        .noteOn(0, 0, 60, 100)
        .noteOn(0, 0, 64, 100)
        .noteOn(0, 0, 67, 100)
        .noteOff(16 * kQuarter, 0, 60)
        .endOfTrack(0);
    MidiSynthSource source(sequenceOf(w.bytes()), m_soundFont);
    QVERIFY(source.setOutputFormat({kRate, 2}).ok());
    std::vector<float> chunk(kRate * 2);
    QCOMPARE(source.read(chunk.data(), kRate).value(), std::size_t(kRate));
    const double sounding = rms(chunk, 0.5, 1.0);
    QVERIFY2(sounding > 0.002, qPrintable(QString::number(sounding)));
    QVERIFY(source.seekToFrame(kRate).ok());
    QCOMPARE(source.read(chunk.data(), kRate / 10).value(), std::size_t(kRate / 10));
    chunk.resize(kRate / 10 * 2);
    // No voice rings on after the stop (FluidSynth's silence sits near 1e-8).
    QVERIFY2(rms(chunk, 0.0, 0.1) < 1e-6, qPrintable(QString::number(rms(chunk, 0.0, 0.1))));
}

void TestSequencer::seekRestoresProgramsAndControllers()
{
    // A soft, bent trumpet from the start; its one note at 1 s.
    const auto make = [](bool withState) {
        MidiWriter w(0, 480);
        auto &t = w.track();
        t.tempo(0, 500000);
        if (withState)
            t.programChange(0, 0, 56).controlChange(0, 0, 7, 40).pitchBend(0, 0, 16383);
        t.noteOn(2 * kQuarter, 0, 67, 100).noteOff(kQuarter, 0, 67).endOfTrack(kQuarter);
        return w.bytes();
    };
    const auto noteFrom = [&](const QByteArray &bytes, double seekSeconds) {
        MidiSynthSource s(sequenceOf(bytes), m_soundFont);
        if (!s.setOutputFormat({kRate, 2}).ok())
            return std::vector<float>();
        if (seekSeconds > 0 && !s.seekToFrame(std::int64_t(seekSeconds * kRate)).ok())
            return std::vector<float>();
        std::vector<float> out = renderAll(s);
        // Line the render up with a play from the start: prepend what the seek skipped.
        out.insert(out.begin(), std::size_t(seekSeconds * kRate) * 2, 0.0f);
        return out;
    };
    const std::vector<float> fromStart = noteFrom(make(true), 0);
    const std::vector<float> afterSeek = noteFrom(make(true), 0.9);
    const std::vector<float> withoutState = noteFrom(make(false), 0);
    // Loudness and pitch (zero crossings of the left channel) of the note's body. The chorus
    // runs from when the synthesizer starts, so samples differ a little; these must not.
    const auto level = [](const std::vector<float> &v) { return rms(v, 1.05, 1.45); };
    const auto crossings = [](const std::vector<float> &v) {
        int n = 0;
        for (std::size_t i = std::size_t(1.05 * kRate) * 2; i + 2 < std::size_t(1.45 * kRate) * 2;
             i += 2)
            n += (v[i] < 0) != (v[i + 2] < 0);
        return double(n);
    };
    QVERIFY2(level(fromStart) > 0.0005, qPrintable(QString::number(level(fromStart))));
    QVERIFY2(std::abs(level(afterSeek) / level(fromStart) - 1) < 0.15,
             qPrintable(QStringLiteral("%1 vs %2").arg(level(afterSeek)).arg(level(fromStart))));
    QVERIFY2(
        std::abs(crossings(afterSeek) / crossings(fromStart) - 1) < 0.03,
        qPrintable(QStringLiteral("%1 vs %2").arg(crossings(afterSeek)).arg(crossings(fromStart))));
    // A synthesizer that forgot the program, volume and bend sounds clearly different.
    QVERIFY2(std::abs(level(withoutState) / level(fromStart) - 1) > 0.5 ||
                 std::abs(crossings(withoutState) / crossings(fromStart) - 1) > 0.08,
             qPrintable(QStringLiteral("%1/%2 vs %3/%4")
                            .arg(level(withoutState))
                            .arg(crossings(withoutState))
                            .arg(level(fromStart))
                            .arg(crossings(fromStart))));
}

void TestSequencer::badFilesRefused_data()
{
    QTest::addColumn<QByteArray>("bytes");
    const QByteArray good = oneNote(0, 60, 0, 1, 2);
    QTest::newRow("zero bytes") << QByteArray();
    QTest::newRow("text") << QByteArray("just some words, not music\n");
    QTest::newRow("truncated") << good.left(good.size() - 5);
    {
        MidiWriter w(1, 480);
        w.track().tempo(0, 500000).endOfTrack(0);
        w.overrideTrackLength(0, 4000);
        QTest::newRow("track length past the end") << w.bytes();
    }
    {
        MidiWriter w(1, 480);
        w.track().endOfTrack(0);
        w.overrideHeaderTrackCount(3);
        QTest::newRow("header claims more tracks") << w.bytes();
    }
    {
        MidiWriter w(2, 480);
        w.track().endOfTrack(0);
        QTest::newRow("format 2") << w.bytes();
    }
}

void TestSequencer::badFilesRefused()
{
    QFETCH(QByteArray, bytes);
    MediaControl control(MediaControlSettings::toPersisted(5927, 873, 250, 0));
    control.setDeviceContext({[] { return std::make_unique<TestAudioSink>(); }, {}});
    control.put(MediaControl::kDeviceType, QStringLiteral("Sequencer"));
    control.put(MediaControl::kFileName, save(QStringLiteral("bad.mid"), bytes));
    control.put(MediaControl::kCommand, QStringLiteral("Open"));
    QVERIFY(control.error() > 0);
    QVERIFY(!control.errorMessage().isEmpty());
    QCOMPARE(control.mode(), ControlMode::NoDevice);
}

QTEST_MAIN(TestSequencer)
#include "tst_sequencer.moc"
