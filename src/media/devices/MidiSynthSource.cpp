#include "media/devices/MidiSynthSource.h"

#include "media/devices/MidiFileReader.h"

#include <algorithm>

namespace zyr::media {

namespace {

constexpr std::int64_t kMicrosPerSecond = 1'000'000;

bool isStateMessage(const MidiEvent &e)
{
    const std::uint8_t kind = e.status & 0xF0;
    return kind == 0xA0 || kind == 0xB0 || kind == 0xC0 || kind == 0xD0 || kind == 0xE0 ||
           e.status == 0xF0;
}

} // namespace

MidiSynthSource::MidiSynthSource(MidiSequence sequence, fluid_sfont_t *soundFont)
    : m_sequence(std::move(sequence)), m_lengthUs(m_sequence.lengthUs), m_soundFont(soundFont)
{
}

MidiSynthSource::MidiSynthSource(QByteArray file, std::int64_t lengthUs, fluid_sfont_t *soundFont)
    : m_file(std::move(file)), m_lengthUs(lengthUs), m_soundFont(soundFont)
{
}

MidiSynthSource::~MidiSynthSource()
{
    // The SoundFont is the library's: take it back before the synthesizer goes, which would
    // otherwise free it.
    if (m_synth && m_soundFont) {
        fluid_synth_system_reset(m_synth.get());
        fluid_synth_remove_sfont(m_synth.get(), m_soundFont);
    }
}

std::int64_t MidiSynthSource::lengthFrames() const
{
    return (m_lengthUs * kPreferredRate + kMicrosPerSecond / 2) / kMicrosPerSecond;
}

std::int64_t MidiSynthSource::frameAt(std::int64_t timeUs) const
{
    return (timeUs * m_output.sampleRate + kMicrosPerSecond / 2) / kMicrosPerSecond;
}

Result<void> MidiSynthSource::startSynth()
{
    if (m_synth && m_soundFont)
        fluid_synth_remove_sfont(m_synth.get(), m_soundFont);
    m_synth.reset();
    if (!m_settings)
        m_settings = makeFluidSettings(m_output.sampleRate);
    if (m_settings)
        m_synth.reset(new_fluid_synth(m_settings.get()));
    if (!m_synth || fluid_synth_add_sfont(m_synth.get(), m_soundFont) == FLUID_FAILED) {
        m_synth.reset();
        return makeError(ErrorKind::DeviceUnavailable,
                         QStringLiteral("The MIDI synthesizer could not be started."));
    }
    return {};
}

Result<void> MidiSynthSource::setOutputFormat(const AudioFormat &format)
{
    if (!format.isValid())
        return makeError(ErrorKind::InvalidCommand, QStringLiteral("Invalid output format."));
    if (!m_file.isEmpty()) {
        // The file passed MidiFileReader::scan(), so reading it cannot fail but for memory.
        Result<MidiSequence> read = MidiFileReader::readAndRelease(m_file);
        if (!read.ok())
            return read.error();
        m_sequence = std::move(read).value();
    }
    m_output = format;
    m_settings.reset();
    m_stereo.clear();
    // Start over from the beginning at the new rate.
    m_next = 0;
    m_frame = 0;
    return startSynth();
}

void MidiSynthSource::dispatch(const MidiEvent &e)
{
    fluid_synth_t *s = m_synth.get();
    const int channel = e.status & 0x0F;
    switch (e.status & 0xF0) {
    case 0x80:
        fluid_synth_noteoff(s, channel, e.data1);
        return;
    case 0x90:
        fluid_synth_noteon(s, channel, e.data1, e.data2); // velocity 0 releases the note
        return;
    case 0xA0:
        fluid_synth_key_pressure(s, channel, e.data1, e.data2);
        return;
    case 0xB0:
        fluid_synth_cc(s, channel, e.data1, e.data2);
        return;
    case 0xC0:
        fluid_synth_program_change(s, channel, e.data1);
        return;
    case 0xD0:
        fluid_synth_channel_pressure(s, channel, e.data1);
        return;
    case 0xE0:
        fluid_synth_pitch_bend(s, channel, e.data1 | (e.data2 << 7));
        return;
    default:
        break;
    }
    // F7 packets are escapes (raw bytes for a device), not messages the synthesizer takes.
    if (e.status != 0xF0)
        return;
    // FluidSynth takes the message without its F0 and F7 framing.
    std::size_t begin = e.sysexOffset;
    std::size_t end = std::min<std::size_t>(std::size_t(e.sysexOffset) + e.sysexLength,
                                            m_sequence.sysexData.size());
    if (begin < end && m_sequence.sysexData[begin] == 0xF0)
        ++begin;
    if (begin < end && m_sequence.sysexData[end - 1] == 0xF7)
        --end;
    if (begin < end)
        fluid_synth_sysex(s, reinterpret_cast<const char *>(m_sequence.sysexData.data() + begin),
                          static_cast<int>(end - begin), nullptr, nullptr, nullptr, 0);
}

void MidiSynthSource::render(float *dst, std::size_t frames)
{
    const int n = static_cast<int>(frames);
    const int channels = m_output.channels;
    if (channels == 2) {
        fluid_synth_write_float(m_synth.get(), n, dst, 0, 2, dst, 1, 2);
        return;
    }
    m_stereo.resize(frames * 2);
    fluid_synth_write_float(m_synth.get(), n, m_stereo.data(), 0, 2, m_stereo.data(), 1, 2);
    for (std::size_t i = 0; i < frames; ++i) {
        float *out = dst + i * static_cast<std::size_t>(channels);
        const float left = m_stereo[2 * i];
        const float right = m_stereo[2 * i + 1];
        if (channels == 1) {
            out[0] = 0.5f * (left + right);
        } else {
            out[0] = left;
            out[1] = right;
            std::fill(out + 2, out + channels, 0.0f);
        }
    }
}

Result<std::size_t> MidiSynthSource::read(float *dst, std::size_t maxFrames)
{
    if (!m_synth)
        return makeError(ErrorKind::Internal, QStringLiteral("The synthesizer is not ready."));
    const std::int64_t endFrame = frameAt(m_lengthUs);
    const std::int64_t tailEnd = endFrame + std::int64_t(kMaxTail.count()) * m_output.sampleRate;
    const std::size_t channels = static_cast<std::size_t>(m_output.channels);
    std::size_t produced = 0;
    while (produced < maxFrames) {
        const std::vector<MidiEvent> &events = m_sequence.events;
        while (m_next < events.size() && frameAt(events[m_next].timeUs) <= m_frame)
            dispatch(events[m_next++]);
        std::int64_t until = tailEnd;
        if (m_next < events.size())
            until = frameAt(events[m_next].timeUs);
        else if (m_frame < endFrame)
            until = endFrame;
        else if (fluid_synth_get_active_voice_count(m_synth.get()) == 0)
            break; // the last notes have died away
        if (m_frame >= tailEnd)
            break;
        const auto chunk = static_cast<std::size_t>(
            std::min<std::int64_t>(std::int64_t(maxFrames - produced), until - m_frame));
        if (chunk == 0)
            continue;
        render(dst + produced * channels, chunk);
        produced += chunk;
        m_frame += static_cast<std::int64_t>(chunk);
    }
    return produced;
}

Result<void> MidiSynthSource::seekToFrame(std::int64_t sourceFrame)
{
    if (!m_synth)
        return makeError(ErrorKind::Internal, QStringLiteral("The synthesizer is not ready."));
    const std::int64_t targetUs =
        std::max<std::int64_t>(0, sourceFrame) * kMicrosPerSecond / kPreferredRate;
    // A fresh synthesizer: no voice, and no reverb or chorus of the old notes, rings on into
    // what plays next (FluidSynth has no call that clears its effect buffers).
    if (const Result<void> started = startSynth(); !started.ok())
        return started;
    const std::vector<MidiEvent> &events = m_sequence.events;
    m_next = 0;
    while (m_next < events.size() && events[m_next].timeUs < targetUs) {
        if (isStateMessage(events[m_next]))
            dispatch(events[m_next]);
        ++m_next;
    }
    m_frame = frameAt(targetUs);
    return {};
}

} // namespace zyr::media
