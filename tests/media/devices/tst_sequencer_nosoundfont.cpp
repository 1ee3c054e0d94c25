// Without any SoundFont, opening a MIDI file fails with an error that says so.

#include "media/devices/SoundFontLibrary.h"
#include "media/MediaControl.h"
#include "media/MediaControlSettings.h"
#include "media/output/TestAudioSink.h"
#include "support/MidiWriter.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace zyr::media;

class TestSequencerWithoutSoundFont : public QObject {
    Q_OBJECT
private slots:
    void openFailsAndSaysWhy();
};

void TestSequencerWithoutSoundFont::openFailsAndSaysWhy()
{
    SoundFontLibrary::instance().setCandidatesForTesting({});
    QTemporaryDir dir;
    zyr::test::MidiWriter w(0, 480);
    w.track().noteOn(0, 0, 60, 100).noteOff(480, 0, 60).endOfTrack(0);
    QVERIFY(w.save(dir.filePath(QStringLiteral("a.mid"))));

    MediaControl control(MediaControlSettings::toPersisted(5927, 873, 250, 0));
    control.setDeviceContext({[] { return std::make_unique<TestAudioSink>(); }, {}});
    control.put(MediaControl::kDeviceType, QStringLiteral("Sequencer"));
    control.put(MediaControl::kFileName, dir.filePath(QStringLiteral("a.mid")));
    control.put(MediaControl::kCommand, QStringLiteral("Open"));
    QCOMPARE(control.error(), std::int16_t(MediaErrorCode::DeviceNotReady));
    QVERIFY2(control.errorMessage().contains(QStringLiteral("SoundFont")),
             qPrintable(control.errorMessage()));
    QCOMPARE(control.mode(), ControlMode::NoDevice);
}

QTEST_MAIN(TestSequencerWithoutSoundFont)
#include "tst_sequencer_nosoundfont.moc"
