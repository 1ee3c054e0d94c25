#pragma once
// The sound of a MIDI sequence: its events played into a FluidSynth synthesizer at the exact
// sample frame where they fall, rendered into the sink's format. After the last event the
// synthesizer is rendered on until its voices have died away (at most kMaxTail), so that the
// last notes release naturally instead of being cut off.
//
// A seek starts a fresh synthesizer and replays every program change, controller, pitch bend,
// pressure and SysEx message before the new place, so that it sounds as if played from the
// start, and nothing of the old place rings on. Used on the device's worker only, like every
// AudioSource.

#include "media/devices/AudioSource.h"
#include "media/devices/FluidSynthHandles.h"
#include "media/devices/MidiFile.h"

#include <QByteArray>

#include <chrono>
#include <vector>

namespace zyr::media {

class MidiSynthSource : public AudioSource {
public:
    // The rate the sequence asks the sink for.
    static constexpr int kPreferredRate = 44100;
    // The longest the last notes may ring on after the last event.
    static constexpr std::chrono::seconds kMaxTail{3};

    // `soundFont` belongs to the SoundFontLibrary and outlives this source.
    MidiSynthSource(MidiSequence sequence, fluid_sfont_t *soundFont);
    // The sequence of a file that MidiFileReader::scan() accepted, lasting `lengthUs`: its events
    // are read when the output format is first set, on the worker, so that opening a long file
    // checks it but builds nothing.
    MidiSynthSource(QByteArray file, std::int64_t lengthUs, fluid_sfont_t *soundFont);
    ~MidiSynthSource() override;

    AudioFormat sourceFormat() const override { return {kPreferredRate, 2}; }
    std::int64_t lengthFrames() const override;
    Result<void> setOutputFormat(const AudioFormat &format) override;
    Result<std::size_t> read(float *dst, std::size_t maxFrames) override;
    Result<void> seekToFrame(std::int64_t sourceFrame) override;

private:
    // Replaces the synthesizer by a new one with the SoundFont at the output rate.
    Result<void> startSynth();
    std::int64_t frameAt(std::int64_t timeUs) const;
    void dispatch(const MidiEvent &event);
    void render(float *dst, std::size_t frames);

    MidiSequence m_sequence;
    QByteArray m_file; // the file whose events m_sequence is still to hold, if any
    const std::int64_t m_lengthUs;
    fluid_sfont_t *m_soundFont;
    FluidSettingsPtr m_settings;
    FluidSynthPtr m_synth;
    AudioFormat m_output;
    std::size_t m_next = 0;      // the first event not yet played
    std::int64_t m_frame = 0;    // output frames rendered since the start of the sequence
    std::vector<float> m_stereo; // scratch for outputs that are not stereo
};

} // namespace zyr::media
