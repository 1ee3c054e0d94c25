#include "media/devices/EditedAudioSource.h"

#include <algorithm>

namespace zyr::media {

namespace {

// Source frames read at a time while converting.
constexpr std::size_t kConvertChunkFrames = 2048;

} // namespace

EditedAudioSource::EditedAudioSource(std::unique_ptr<AudioSource> original)
    : m_original(std::move(original)),
      m_length(std::max<std::int64_t>(0, m_original->lengthFrames())),
      m_output(m_original->sourceFormat())
{
    if (m_length > 0)
        m_pieces.push_back({nullptr, 0, m_length});
}

Result<void> EditedAudioSource::setOutputFormat(const AudioFormat &format)
{
    if (!m_edited) {
        if (const Result<void> set = m_original->setOutputFormat(format); !set.ok())
            return set.error();
        m_output = format;
        return {};
    }
    return convertTo(format);
}

Result<void> EditedAudioSource::convertTo(const AudioFormat &format)
{
    // Once edited, the original delivers its own format and the conversion happens here.
    if (const Result<void> own = m_original->setOutputFormat(sourceFormat()); !own.ok())
        return own.error();
    m_converting = format != sourceFormat();
    if (m_converting) {
        if (const Result<void> set = m_resampler.configure(sourceFormat(), format); !set.ok())
            return set.error();
    }
    m_output = format;
    m_converted.clear();
    m_convertedOffset = 0;
    m_drained = false;
    return {};
}

void EditedAudioSource::locate(std::int64_t frame)
{
    m_piece = 0;
    m_offset = frame;
    while (m_piece < m_pieces.size() && m_offset >= m_pieces[m_piece].frames) {
        m_offset -= m_pieces[m_piece].frames;
        ++m_piece;
    }
}

Result<void> EditedAudioSource::seekToFrame(std::int64_t sourceFrame)
{
    if (!m_edited)
        return m_original->seekToFrame(sourceFrame);
    locate(std::clamp<std::int64_t>(sourceFrame, 0, m_length));
    m_originalNext = -1;
    m_converted.clear();
    m_convertedOffset = 0;
    m_drained = false;
    if (m_converting)
        m_resampler.reset();
    return {};
}

Result<void> EditedAudioSource::insert(std::int64_t at,
                                       std::shared_ptr<const RecordedSound> recording)
{
    const std::int64_t frames = recording ? recording->frames() : 0;
    at = std::clamp<std::int64_t>(at, 0, m_length);
    if (frames > 0 && !m_edited) {
        if (const Result<void> converting = convertTo(m_output); !converting.ok())
            return converting.error();
        m_edited = true;
    }
    if (frames > 0) {
        locate(at);
        auto where = m_pieces.begin() + static_cast<std::ptrdiff_t>(m_piece);
        if (m_offset > 0) {
            // Split the piece the recording falls into.
            Piece tail = *where;
            tail.from += m_offset;
            tail.frames -= m_offset;
            where->frames = m_offset;
            where = m_pieces.insert(where + 1, tail);
        }
        m_pieces.insert(where, Piece{std::move(recording), 0, frames});
        m_length += frames;
    }
    return seekToFrame(at);
}

Result<std::size_t> EditedAudioSource::readSource(float *dst, std::size_t maxFrames)
{
    while (m_piece < m_pieces.size()) {
        const Piece &piece = m_pieces[m_piece];
        const std::int64_t left = piece.frames - m_offset;
        const auto want = static_cast<std::size_t>(
            std::min<std::int64_t>(left, static_cast<std::int64_t>(maxFrames)));
        std::size_t got = 0;
        if (piece.recording) {
            got = piece.recording->read(piece.from + m_offset, dst, want);
        } else {
            const std::int64_t frame = piece.from + m_offset;
            if (m_originalNext != frame) {
                if (const Result<void> sought = m_original->seekToFrame(frame); !sought.ok())
                    return sought.error();
            }
            const Result<std::size_t> read = m_original->read(dst, want);
            if (!read.ok())
                return read.error();
            got = read.value();
            m_originalNext = frame + static_cast<std::int64_t>(got);
        }
        if (got == 0) {
            // The origin ended early (a file shorter than it said): the piece ends here.
            ++m_piece;
            m_offset = 0;
            continue;
        }
        m_offset += static_cast<std::int64_t>(got);
        if (m_offset >= piece.frames) {
            ++m_piece;
            m_offset = 0;
        }
        return got;
    }
    return std::size_t{0};
}

Result<std::size_t> EditedAudioSource::read(float *dst, std::size_t maxFrames)
{
    if (!m_edited)
        return m_original->read(dst, maxFrames);
    if (!m_converting)
        return readSource(dst, maxFrames);

    const auto outChannels = static_cast<std::size_t>(m_output.channels);
    while (m_convertedOffset >= m_converted.size()) {
        m_converted.clear();
        m_convertedOffset = 0;
        if (m_drained)
            return std::size_t{0};
        m_sourceChunk.resize(kConvertChunkFrames *
                             static_cast<std::size_t>(sourceFormat().channels));
        const Result<std::size_t> got = readSource(m_sourceChunk.data(), kConvertChunkFrames);
        if (!got.ok())
            return got.error();
        const Result<void> converted =
            got.value() > 0 ? m_resampler.convert(m_sourceChunk.data(), got.value(), m_converted)
                            : m_resampler.drain(m_converted);
        if (!converted.ok())
            return converted.error();
        m_drained = got.value() == 0;
    }
    const std::size_t available = (m_converted.size() - m_convertedOffset) / outChannels;
    const std::size_t frames = std::min(available, maxFrames);
    std::copy_n(m_converted.data() + m_convertedOffset, frames * outChannels, dst);
    m_convertedOffset += frames * outChannels;
    return frames;
}

} // namespace zyr::media
