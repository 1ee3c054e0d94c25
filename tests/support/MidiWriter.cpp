#include "MidiWriter.h"

#include <QFile>

namespace zyr::test {

namespace {

char byte(int value)
{
    return char(value & 0xFF);
}

QByteArray bigEndian16(std::uint16_t value)
{
    QByteArray out;
    out.append(byte(value >> 8));
    out.append(byte(value));
    return out;
}

} // namespace

MidiWriter::Track &MidiWriter::Track::channelMessage(std::uint32_t delta, int kind, int channel,
                                                     int data1, std::optional<int> data2)
{
    Item item{Kind::Channel, delta, {}};
    item.bytes.append(byte((kind & 0xF0) | (channel & 0x0F)));
    item.bytes.append(byte(data1 & 0x7F));
    if (data2) {
        item.bytes.append(byte(*data2 & 0x7F));
    }
    m_items.push_back(std::move(item));
    return *this;
}

MidiWriter::Track &MidiWriter::Track::noteOn(std::uint32_t delta, int channel, int key,
                                             int velocity)
{
    return channelMessage(delta, 0x90, channel, key, velocity);
}

MidiWriter::Track &MidiWriter::Track::noteOff(std::uint32_t delta, int channel, int key,
                                              int velocity)
{
    return channelMessage(delta, 0x80, channel, key, velocity);
}

MidiWriter::Track &MidiWriter::Track::keyPressure(std::uint32_t delta, int channel, int key,
                                                  int pressure)
{
    return channelMessage(delta, 0xA0, channel, key, pressure);
}

MidiWriter::Track &MidiWriter::Track::controlChange(std::uint32_t delta, int channel,
                                                    int controller, int value)
{
    return channelMessage(delta, 0xB0, channel, controller, value);
}

MidiWriter::Track &MidiWriter::Track::programChange(std::uint32_t delta, int channel, int program)
{
    return channelMessage(delta, 0xC0, channel, program, std::nullopt);
}

MidiWriter::Track &MidiWriter::Track::channelPressure(std::uint32_t delta, int channel,
                                                      int pressure)
{
    return channelMessage(delta, 0xD0, channel, pressure, std::nullopt);
}

MidiWriter::Track &MidiWriter::Track::pitchBend(std::uint32_t delta, int channel, int value)
{
    return channelMessage(delta, 0xE0, channel, value & 0x7F, (value >> 7) & 0x7F);
}

MidiWriter::Track &MidiWriter::Track::sysex(std::uint32_t delta, const QByteArray &message)
{
    Item item{Kind::Other, delta, {}};
    if (!message.isEmpty()) {
        item.bytes.append(message.at(0));
        item.bytes.append(vlq(std::uint32_t(message.size() - 1)));
        item.bytes.append(message.mid(1));
    }
    m_items.push_back(std::move(item));
    return *this;
}

MidiWriter::Track &MidiWriter::Track::meta(std::uint32_t delta, std::uint8_t type,
                                           const QByteArray &body)
{
    Item item{Kind::Other, delta, {}};
    item.bytes.append(byte(0xFF));
    item.bytes.append(byte(type));
    item.bytes.append(vlq(std::uint32_t(body.size())));
    item.bytes.append(body);
    m_items.push_back(std::move(item));
    return *this;
}

MidiWriter::Track &MidiWriter::Track::tempo(std::uint32_t delta, std::uint32_t usPerQuarter)
{
    QByteArray body;
    body.append(byte(int(usPerQuarter >> 16)));
    body.append(byte(int(usPerQuarter >> 8)));
    body.append(byte(int(usPerQuarter)));
    return meta(delta, 0x51, body);
}

MidiWriter::Track &MidiWriter::Track::endOfTrack(std::uint32_t delta)
{
    return meta(delta, 0x2F, {});
}

MidiWriter::Track &MidiWriter::Track::raw(const QByteArray &bytes)
{
    m_items.push_back(Item{Kind::Raw, 0, bytes});
    return *this;
}

QByteArray MidiWriter::Track::encode(bool runningStatus) const
{
    QByteArray out;
    char running = 0;
    for (const Item &item : m_items) {
        if (item.kind == Kind::Raw) {
            out.append(item.bytes);
            running = 0;
            continue;
        }
        out.append(vlq(item.delta));
        if (item.kind == Kind::Channel) {
            const char status = item.bytes.at(0);
            const bool omitStatus = runningStatus && status == running;
            out.append(omitStatus ? item.bytes.mid(1) : item.bytes);
            running = status;
        } else {
            // SysEx and meta events cancel running status.
            out.append(item.bytes);
            running = 0;
        }
    }
    return out;
}

MidiWriter::MidiWriter(int format, std::uint16_t division) : m_format(format), m_division(division)
{
}

std::uint16_t MidiWriter::smpteDivision(int framesPerSecond, int ticksPerFrame)
{
    return std::uint16_t(((-framesPerSecond) & 0xFF) << 8 | (ticksPerFrame & 0xFF));
}

MidiWriter::Track &MidiWriter::track()
{
    m_chunks.push_back(Chunk{int(m_tracks.size()), QByteArrayLiteral("MTrk"), {}});
    return m_tracks.emplace_back();
}

void MidiWriter::addChunk(const QByteArray &type, const QByteArray &body)
{
    m_chunks.push_back(Chunk{-1, type.left(4), body});
}

void MidiWriter::appendTrailingBytes(const QByteArray &bytes)
{
    m_trailingBytes.append(bytes);
}

void MidiWriter::overrideTrackLength(int trackIndex, std::uint32_t length)
{
    m_trackLengths[trackIndex] = length;
}

QByteArray MidiWriter::bytes() const
{
    QByteArray out("MThd");
    out.append(bigEndian32(m_headerLength.value_or(std::uint32_t(6 + m_extraHeaderBytes.size()))));
    out.append(bigEndian16(std::uint16_t(m_format)));
    out.append(bigEndian16(m_headerTrackCount.value_or(std::uint16_t(m_tracks.size()))));
    out.append(bigEndian16(m_division));
    out.append(m_extraHeaderBytes);
    for (const Chunk &chunk : m_chunks) {
        QByteArray body = chunk.body;
        std::uint32_t length = std::uint32_t(body.size());
        if (chunk.trackIndex >= 0) {
            body = m_tracks[std::size_t(chunk.trackIndex)].encode(m_runningStatus);
            const auto lie = m_trackLengths.find(chunk.trackIndex);
            length = lie != m_trackLengths.end() ? lie->second : std::uint32_t(body.size());
        }
        out.append(chunk.type);
        out.append(bigEndian32(length));
        out.append(body);
    }
    out.append(m_trailingBytes);
    return out;
}

bool MidiWriter::save(const QString &path) const
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return false;
    }
    const QByteArray data = bytes();
    return file.write(data) == data.size() && file.flush();
}

QByteArray MidiWriter::vlq(std::uint32_t value)
{
    char groups[5];
    int count = 0;
    do {
        groups[count++] = byte(int(value & 0x7F));
        value >>= 7;
    } while (value != 0);
    QByteArray out;
    for (int i = count - 1; i >= 0; --i) {
        out.append(i > 0 ? char(groups[i] | 0x80) : groups[i]);
    }
    return out;
}

QByteArray MidiWriter::bigEndian32(std::uint32_t value)
{
    QByteArray out;
    out.append(byte(int(value >> 24)));
    out.append(byte(int(value >> 16)));
    out.append(byte(int(value >> 8)));
    out.append(byte(int(value)));
    return out;
}

QByteArray MidiWriter::gmReset()
{
    return QByteArray::fromHex("F07E7F0901F7");
}

QByteArray MidiWriter::gsReset()
{
    return QByteArray::fromHex("F04110421240007F0041F7");
}

bool MidiWriter::writeQuarterNotes(const QString &path, int quarters)
{
    MidiWriter w(1, 480);
    Track &t = w.track();
    t.tempo(0, 500000);
    t.programChange(0, 0, 0);
    for (int q = 0; q < quarters; ++q) {
        t.noteOn(0, 0, 60 + q % 12, 100);
        t.noteOff(480, 0, 60 + q % 12, 0);
    }
    t.endOfTrack(0);
    return w.save(path);
}

} // namespace zyr::test
