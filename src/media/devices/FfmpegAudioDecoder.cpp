#include "media/devices/FfmpegAudioDecoder.h"

#include "media/devices/ContainerSniffing.h"
#include "media/devices/FfmpegErrors.h"
#include "media/devices/FfmpegInput.h"
#include "media/devices/FfmpegMixingResampler.h"
#include "media/devices/RiffWaveHeader.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/mathematics.h>
#include <libavutil/mem.h>
#include <libavutil/samplefmt.h>
}

#include <QByteArray>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

namespace zyr::media {

namespace {

// Demuxers FFmpeg uses for still pictures. FFmpeg reports a picture as a one-frame video, and a
// picture is never something the sound device should try to play.
bool isPictureContainer(const char *name)
{
    static constexpr const char *kPictureDemuxers[] = {"image2", "image2pipe", "gif",
                                                       "apng",   "ico",        "webp"};
    const QByteArray demuxer(name);
    if (demuxer.endsWith("_pipe")) {
        return true;
    }
    return std::any_of(std::begin(kPictureDemuxers), std::end(kPictureDemuxers),
                       [&demuxer](const char *picture) { return demuxer == picture; });
}

// True for the codecs that store every sample in a fixed number of bits (PCM, G.711, float),
// whose frame count follows from the byte count alone.
bool isFixedSizeSampleCodec(AVCodecID id)
{
    return id >= AV_CODEC_ID_FIRST_AUDIO && id < AV_CODEC_ID_ADPCM_IMA_QT &&
           av_get_exact_bits_per_sample(id) > 0;
}

// The most sample frames `dataBytes` of compressed data can hold, counting a partial last block
// as whole: a 'fact' chunk that claims more is damaged (one 1 KB file claimed 149 hours), and the
// length is taken from the blocks instead. No bound (INT64_MAX) where the codec does not tell
// how many frames a block holds.
qint64 mostFramesIn(AVCodecParameters *codec, qint64 dataBytes)
{
    const int blockAlign = codec->block_align;
    const int perBlock = blockAlign > 0 ? av_get_audio_frame_duration2(codec, blockAlign) : 0;
    if (perBlock <= 0) {
        return std::numeric_limits<qint64>::max();
    }
    return (dataBytes + blockAlign - 1) / blockAlign * perBlock;
}

// Streams whose kind the container already tells and that cannot hold sound; a stream of
// unknown kind may still turn out to be sound.
bool isNeverSound(AVMediaType type)
{
    return type == AVMEDIA_TYPE_VIDEO || type == AVMEDIA_TYPE_SUBTITLE ||
           type == AVMEDIA_TYPE_ATTACHMENT || type == AVMEDIA_TYPE_DATA;
}

// Whether the headers describe every sound stream well enough to decode it: a known codec, a
// rate and channels. FFmpeg's AVI demuxer fills these from the stream headers.
bool audioStreamsDescribed(const AVFormatContext *fmt)
{
    for (unsigned i = 0; i < fmt->nb_streams; ++i) {
        const AVCodecParameters *codec = fmt->streams[i]->codecpar;
        if (codec->codec_type == AVMEDIA_TYPE_AUDIO &&
            (codec->codec_id == AV_CODEC_ID_NONE || codec->sample_rate <= 0 ||
             codec->ch_layout.nb_channels <= 0)) {
            return false;
        }
    }
    return true;
}

} // namespace

FfmpegAudioDecoder::~FfmpegAudioDecoder()
{
    av_channel_layout_uninit(&m_swrInLayout);
}

Result<std::unique_ptr<FfmpegAudioDecoder>> FfmpegAudioDecoder::open(const QString &path,
                                                                     StreamFacts facts)
{
    if (const Result<void> checked = checkMediaFile(path, QStringLiteral("sound file"));
        !checked.ok()) {
        return checked.error();
    }
    const QString name = QFileInfo(path).fileName();

    WaveFacts wave;
    bool isAvi = false;
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            return makeError(ErrorKind::FileUnreadable,
                             QStringLiteral("The file %1 cannot be read: %2")
                                 .arg(quoted(name), file.errorString()));
        }
        isAvi =
            sniffContainer(file.peek(kSniffBytes), file.size()).container == KnownContainer::Avi;
        auto inspected = inspectWave(file, name);
        if (!inspected) {
            return inspected.error();
        }
        wave = inspected.value();
    }

    std::unique_ptr<FfmpegAudioDecoder> decoder(new FfmpegAudioDecoder);
    decoder->m_fileName = name;
    decoder->m_isWave = wave.isWave;

    // FFmpeg checks that 16-bit PCM in a WAVE file is not compressed sound in disguise by trying
    // every demuxer on its first packets, up to 32 of them (128 KB, 4 ms of the UI thread's CPU
    // in "Open"); the first packet already holds several frames of any such sound. A movie's
    // headers are read alone: its index waits for a seek. A RIFF signature read above names the
    // demuxer, so FFmpeg does not try them all.
    const AVInputFormat *const demuxer = wave.isWave ? av_find_input_format("wav")
                                         : isAvi     ? av_find_input_format("avi")
                                                     : nullptr;
    Result<InputFormatContextPtr> opened =
        openLocalInput(path, wave.isWave, QStringLiteral("sound"),
                       wave.isWave ? std::optional<int>(1) : std::nullopt,
                       facts == StreamFacts::FromAviHeaders && isAvi ? InputReach::HeadersOnly
                                                                     : InputReach::Packets,
                       demuxer);
    if (!opened.ok()) {
        return opened.error();
    }
    decoder->m_format = std::move(opened).value();
    int rc = 0;
    AVFormatContext *fmt = decoder->m_format.get();
    const bool headersOnly = readsHeadersOnly(*fmt);

    // FFmpeg settles for a weak guess when nothing matches well; random bytes can look like a
    // stream of some raw format. A guess at or below the retry score is not an identification.
    if (demuxer == nullptr && fmt->probe_score <= AVPROBE_SCORE_RETRY) {
        return makeError(ErrorKind::UnsupportedFormat,
                         QStringLiteral("The file %1 is not in a sound format this program knows.")
                             .arg(quoted(name)));
    }
    if (isPictureContainer(fmt->iformat->name)) {
        return makeError(
            ErrorKind::UnsupportedFormat,
            QStringLiteral("The file %1 is a picture, not a sound file.").arg(quoted(name)));
    }
    // A WAVE header says everything the decoder needs; other containers may need packets read
    // to fill in codec parameters and the duration. This reads a bounded amount, never the file.
    const bool headersTell = headersOnly && audioStreamsDescribed(fmt);
    if (headersOnly && !headersTell) { // the analysis below reads packets
        opened = openLocalInput(path, true, QStringLiteral("sound"), std::nullopt,
                                InputReach::Packets, fmt->iformat);
        if (!opened.ok()) {
            return opened.error();
        }
        decoder->m_format = std::move(opened).value();
        fmt = decoder->m_format.get();
    }
    if (!wave.isWave && !headersTell) {
        // Only the sound is analysed: pictures are never decoded here, and analysing them is
        // the costly part (H.264 at 720p: about 60 ms against under 1 ms without them).
        for (unsigned i = 0; i < fmt->nb_streams; ++i) {
            if (isNeverSound(fmt->streams[i]->codecpar->codec_type)) {
                fmt->streams[i]->discard = AVDISCARD_ALL;
            }
        }
        rc = avformat_find_stream_info(fmt, nullptr);
        if (rc < 0) {
            return makeError(ErrorKind::CorruptMedia, QStringLiteral("The file %1 is damaged: %2")
                                                          .arg(quoted(name), ffmpegErrorText(rc)));
        }
    }

    const AVCodec *codec = nullptr;
    rc = av_find_best_stream(fmt, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    if (rc == AVERROR_DECODER_NOT_FOUND) {
        return makeError(ErrorKind::UnsupportedFormat,
                         QStringLiteral("The sound in %1 is stored in an encoding this program "
                                        "cannot play.")
                             .arg(quoted(name)));
    }
    if (rc < 0 && wave.isWave) {
        // A WAVE header always describes one audio stream; FFmpeg finding none means the
        // format chunk is nonsense (no channels, say).
        return makeError(ErrorKind::CorruptMedia,
                         QStringLiteral("The sound file %1 is damaged: its format description "
                                        "is invalid.")
                             .arg(quoted(name)));
    }
    if (rc < 0) {
        return makeError(ErrorKind::UnsupportedFormat,
                         QStringLiteral("The file %1 contains no sound.").arg(quoted(name)));
    }
    decoder->m_streamIndex = rc;
    for (unsigned i = 0; i < fmt->nb_streams; ++i) {
        if (int(i) != decoder->m_streamIndex) {
            fmt->streams[i]->discard = AVDISCARD_ALL;
        }
    }
    const AVStream *stream = fmt->streams[decoder->m_streamIndex];

    decoder->m_codec.reset(avcodec_alloc_context3(codec));
    if (!decoder->m_codec) {
        return makeError(ErrorKind::Internal, QStringLiteral("Out of memory opening a decoder."));
    }
    AVCodecContext *const ctx = decoder->m_codec.get();
    rc = avcodec_parameters_to_context(ctx, stream->codecpar);
    if (rc >= 0) {
        ctx->pkt_timebase = stream->time_base;
        rc = avcodec_open2(ctx, codec, nullptr);
    }
    if (rc < 0) {
        return makeError(ErrorKind::CorruptMedia,
                         QStringLiteral("The sound in %1 cannot be decoded: %2")
                             .arg(quoted(name), ffmpegErrorText(rc)));
    }
    decoder->m_sourceRate = ctx->sample_rate;
    decoder->m_sourceChannels = ctx->ch_layout.nb_channels;
    if (decoder->m_sourceRate <= 0 || decoder->m_sourceChannels <= 0) {
        return makeError(ErrorKind::CorruptMedia,
                         QStringLiteral("The sound file %1 is damaged: it gives no sample rate "
                                        "or channel count.")
                             .arg(quoted(name)));
    }
    if (decoder->m_sourceRate > kMaxSourceRate) {
        return makeError(ErrorKind::UnsupportedFormat,
                         QStringLiteral("The sound in %1 has %2 samples a second, more than this "
                                        "program plays.")
                             .arg(quoted(name))
                             .arg(decoder->m_sourceRate));
    }

    // Length. For WAVE data with a fixed number of bits per sample the count follows from the
    // bytes (a partial frame at the end is dropped, as the decoder drops it). Compressed WAVE
    // data is counted by its 'fact' chunk; without one, and for other containers, the stated
    // duration is the best there is and read() does not cut the stream to it.
    const int rate = decoder->m_sourceRate;
    if (wave.isWave && isFixedSizeSampleCodec(ctx->codec_id)) {
        const qint64 frameBytes =
            qint64(decoder->m_sourceChannels) * av_get_exact_bits_per_sample(ctx->codec_id) / 8;
        decoder->m_lengthFrames = frameBytes > 0 ? wave.dataBytes / frameBytes : 0;
        decoder->m_capAtLength = true;
    } else if (wave.isWave && wave.factFrames > 0) {
        decoder->m_lengthFrames =
            std::min(wave.factFrames, mostFramesIn(stream->codecpar, wave.dataBytes));
        decoder->m_capAtLength = true;
    } else if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0) {
        decoder->m_lengthFrames = av_rescale_q_rnd(stream->duration, stream->time_base,
                                                   AVRational{1, rate}, AV_ROUND_NEAR_INF);
    } else if (fmt->duration != AV_NOPTS_VALUE && fmt->duration > 0) {
        decoder->m_lengthFrames =
            av_rescale_q_rnd(fmt->duration, AV_TIME_BASE_Q, AVRational{1, rate}, AV_ROUND_NEAR_INF);
    }
    if (decoder->m_capAtLength && decoder->m_lengthFrames <= 0) {
        return makeError(ErrorKind::CorruptMedia,
                         QStringLiteral("The sound file %1 contains no sound.").arg(quoted(name)));
    }

    decoder->m_packet.reset(av_packet_alloc());
    decoder->m_frame.reset(av_frame_alloc());
    if (!decoder->m_packet || !decoder->m_frame) {
        return makeError(ErrorKind::Internal, QStringLiteral("Out of memory opening a decoder."));
    }

    // Decoding the first packet now makes a broken codec header fail here, while the user is
    // still looking at the open dialog, rather than as a silent stop in the middle of playback.
    // A headers-only opening reads on from the headers as the playback will (FfmpegInput.h):
    // the packet comes from the start of an interleaved movie, or from the file opened again
    // with its index where the sound lies far from there.
    readOnFromHeaders(*decoder->m_format, decoder->m_decode, path, QStringLiteral("sound"));
    if (Result<void> primed = decoder->primeFirstFrame(); !primed) {
        return primed.error();
    }
    decoder->m_swrInRate = decoder->m_frame->sample_rate;
    decoder->m_swrInFormat = decoder->m_frame->format;
    if (av_channel_layout_copy(&decoder->m_swrInLayout, &decoder->m_frame->ch_layout) < 0) {
        return makeError(ErrorKind::Internal,
                         QStringLiteral("Out of memory for a channel layout."));
    }
    // The output starts as the source itself, within what a sink accepts.
    const AudioFormat initial{std::min(rate, AudioFormat::kMaxSampleRate),
                              std::min(decoder->m_sourceChannels, AudioFormat::kMaxChannels)};
    if (auto configured = decoder->setOutputFormat(initial); !configured) {
        return configured.error();
    }
    return decoder;
}

Result<void> FfmpegAudioDecoder::primeFirstFrame()
{
    auto decoded = decodeNextFrame();
    if (!decoded) {
        return makeError(decoded.error().kind == ErrorKind::FileUnreadable
                             ? ErrorKind::FileUnreadable
                             : ErrorKind::CorruptMedia,
                         decoded.error().message);
    }
    if (!decoded.value()) {
        const QString message = QStringLiteral("The sound file %1 contains no sound.");
        return makeError(ErrorKind::CorruptMedia, message.arg(quoted(m_fileName)));
    }
    m_frameReady = true;
    return {};
}

std::int64_t FfmpegAudioDecoder::lengthMs() const
{
    if (m_lengthFrames < 0 || m_sourceRate <= 0) {
        return kUnknownLength;
    }
    return (m_lengthFrames * 1000 + m_sourceRate / 2) / m_sourceRate;
}

int FfmpegAudioDecoder::sourceBitsPerSample() const
{
    return m_codec ? av_get_bytes_per_sample(m_codec->sample_fmt) * 8 : 0;
}

QString FfmpegAudioDecoder::containerName() const
{
    return QString::fromLatin1(m_format->iformat->name);
}

Result<void> FfmpegAudioDecoder::setOutputFormat(int sampleRate, int channels)
{
    return setOutputFormat(AudioFormat{sampleRate, channels});
}

Result<void> FfmpegAudioDecoder::setOutputFormat(const AudioFormat &format)
{
    if (!format.isValid()) {
        return makeError(ErrorKind::InvalidCommand,
                         QStringLiteral("Cannot convert sound to %1 Hz with %2 channels.")
                             .arg(format.sampleRate)
                             .arg(format.channels));
    }
    const AudioFormat previous = m_output;
    m_output = format;
    m_converted.clear();
    m_convertedOffset = 0;
    // Set the resampler up for the input it saw last (the first frame, after open), so that a
    // conversion the library cannot do is reported here and not by read().
    auto configured = configureResampler(m_swrInRate, m_swrInFormat, m_swrInLayout);
    if (!configured) {
        m_output = previous;
        return configured.error();
    }
    return {};
}

Result<void> FfmpegAudioDecoder::configureResampler(int inRate, int inFormat,
                                                    const AVChannelLayout &inLayout)
{
    // Keep the layout as the decoder reports it (for comparing with later frames); hand the
    // resampler a concrete one, since a layout of unknown order cannot be mixed.
    AVChannelLayout reported{};
    if (av_channel_layout_copy(&reported, &inLayout) < 0) {
        return makeError(ErrorKind::Internal,
                         QStringLiteral("Out of memory for a channel layout."));
    }
    SwrContextPtr swr;
    const int rc = makeMixingResampler(swr, inLayout, AVSampleFormat(inFormat), inRate,
                                       m_output.channels, m_output.sampleRate);
    if (rc < 0) {
        av_channel_layout_uninit(&reported);
        return makeError(ErrorKind::UnsupportedFormat,
                         QStringLiteral("The sound in %1 cannot be converted to %2 Hz with %3 "
                                        "channels: %4")
                             .arg(quoted(m_fileName))
                             .arg(m_output.sampleRate)
                             .arg(m_output.channels)
                             .arg(ffmpegErrorText(rc)));
    }
    m_swr = std::move(swr);
    m_swrInRate = inRate;
    m_swrInFormat = inFormat;
    av_channel_layout_uninit(&m_swrInLayout);
    m_swrInLayout = reported; // takes over whatever the copy allocated
    m_resamplerDrained = false;
    return {};
}

MediaError FfmpegAudioDecoder::readError(int errorCode, const char *what) const
{
    const ErrorKind kind =
        isIoError(errorCode) ? ErrorKind::FileUnreadable : ErrorKind::CorruptMedia;
    return makeError(kind,
                     QStringLiteral("The sound file %1 could not be %2: %3")
                         .arg(quoted(m_fileName), QLatin1String(what), ffmpegErrorText(errorCode)));
}

Result<bool> FfmpegAudioDecoder::decodeNextFrame()
{
    AVCodecContext *const ctx = m_codec.get();
    if (m_decode.decoderDone || (m_capAtLength && m_nextSourceFrame >= m_lengthFrames)) {
        m_decode.decoderDone = true;
        return false;
    }
    const Result<bool> got =
        receiveFrame(m_format, ctx, m_packet.get(), m_streamIndex, m_frame.get(), m_decode,
                     [this](int rc, const char *what) { return readError(rc, what); });
    if (!got.ok() || !got.value())
        return got;
    std::int64_t start = m_nextSourceFrame;
    if (m_positionFromPts && m_frame->best_effort_timestamp != AV_NOPTS_VALUE) {
        const AVStream *stream = m_format->streams[m_streamIndex];
        const std::int64_t origin = stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0;
        start = av_rescale_q_rnd(m_frame->best_effort_timestamp - origin, stream->time_base,
                                 AVRational{1, m_sourceRate}, AV_ROUND_NEAR_INF);
    }
    m_positionFromPts = false;
    m_frameStart = start;
    m_nextSourceFrame = start + m_frame->nb_samples;

    return true;
}

Result<void> FfmpegAudioDecoder::convertFrame(int skip, int count)
{
    const AVFrame &frame = *m_frame;
    if (!m_swr || frame.sample_rate != m_swrInRate || frame.format != m_swrInFormat ||
        av_channel_layout_compare(&frame.ch_layout, &m_swrInLayout) != 0) {
        // A stream may change its parameters between frames; audio still inside the old
        // resampler is lost, which is at most its filter delay.
        if (auto configured = configureResampler(frame.sample_rate, frame.format, frame.ch_layout);
            !configured) {
            return configured;
        }
    }
    const auto sampleFormat = AVSampleFormat(frame.format);
    const int bytesPerSample = av_get_bytes_per_sample(sampleFormat);
    const int channels = frame.ch_layout.nb_channels;
    const bool planar = av_sample_fmt_is_planar(sampleFormat) != 0;

    std::vector<const std::uint8_t *> inputs(std::size_t(planar ? channels : 1));
    for (std::size_t plane = 0; plane < inputs.size(); ++plane) {
        const std::size_t offset =
            std::size_t(skip) * std::size_t(bytesPerSample) * (planar ? 1 : std::size_t(channels));
        inputs[plane] = frame.extended_data[plane] + offset;
    }

    const int capacity = swr_get_out_samples(m_swr.get(), count);
    if (capacity < 0) {
        return makeError(ErrorKind::Internal,
                         QStringLiteral("The resampler failed: %1").arg(ffmpegErrorText(capacity)));
    }
    const std::size_t outChannels = std::size_t(m_output.channels);
    const std::size_t oldSize = m_converted.size();
    m_converted.resize(oldSize + std::size_t(capacity) * outChannels);
    auto *out = reinterpret_cast<std::uint8_t *>(m_converted.data() + oldSize);
    const int produced = swr_convert(m_swr.get(), &out, capacity, inputs.data(), count);
    if (produced < 0) {
        m_converted.resize(oldSize);
        return makeError(ErrorKind::Internal,
                         QStringLiteral("The resampler failed: %1").arg(ffmpegErrorText(produced)));
    }
    m_converted.resize(oldSize + std::size_t(produced) * outChannels);
    return {};
}

Result<void> FfmpegAudioDecoder::drainResampler()
{
    m_resamplerDrained = true;
    if (!m_swr) {
        return {};
    }
    const std::size_t outChannels = std::size_t(m_output.channels);
    for (;;) {
        const int capacity = swr_get_out_samples(m_swr.get(), 0);
        if (capacity <= 0) {
            return {};
        }
        const std::size_t oldSize = m_converted.size();
        m_converted.resize(oldSize + std::size_t(capacity) * outChannels);
        auto *out = reinterpret_cast<std::uint8_t *>(m_converted.data() + oldSize);
        const int produced = swr_convert(m_swr.get(), &out, capacity, nullptr, 0);
        m_converted.resize(oldSize + std::size_t(std::max(produced, 0)) * outChannels);
        if (produced < 0) {
            return makeError(
                ErrorKind::Internal,
                QStringLiteral("The resampler failed: %1").arg(ffmpegErrorText(produced)));
        }
        if (produced == 0) {
            return {};
        }
    }
}

Result<std::size_t> FfmpegAudioDecoder::read(float *dst, std::size_t maxFrames)
{
    if (m_failed) {
        return m_error;
    }
    const std::size_t channels = std::size_t(m_output.channels);
    std::size_t written = 0;
    while (written < maxFrames) {
        if (m_convertedOffset < m_converted.size()) {
            const std::size_t available = (m_converted.size() - m_convertedOffset) / channels;
            const std::size_t frames = std::min(available, maxFrames - written);
            std::memcpy(dst + written * channels, m_converted.data() + m_convertedOffset,
                        frames * channels * sizeof(float));
            m_convertedOffset += frames * channels;
            written += frames;
            continue;
        }
        m_converted.clear();
        m_convertedOffset = 0;
        if (m_resamplerDrained) {
            break;
        }

        if (!m_frameReady) {
            auto decoded = decodeNextFrame();
            if (!decoded) {
                m_failed = true;
                m_error = decoded.error();
                break;
            }
            if (!decoded.value()) {
                if (auto drained = drainResampler(); !drained) {
                    m_failed = true;
                    m_error = drained.error();
                    break;
                }
                continue;
            }
        }
        m_frameReady = false;

        // Drop what lies before a seek target and, for exact lengths, what lies past the end.
        const std::int64_t frameFrames = m_frame->nb_samples;
        const std::int64_t skip =
            std::clamp<std::int64_t>(m_discardUntil - m_frameStart, 0, frameFrames);
        std::int64_t keep = frameFrames - skip;
        if (m_capAtLength) {
            keep = std::clamp<std::int64_t>(m_lengthFrames - (m_frameStart + skip), 0, keep);
        }
        if (keep > 0) {
            if (auto converted = convertFrame(int(skip), int(keep)); !converted) {
                m_failed = true;
                m_error = converted.error();
                break;
            }
        }
    }
    if (written == 0 && m_failed) {
        return m_error;
    }
    return written;
}

Result<void> FfmpegAudioDecoder::seekToFrame(std::int64_t sourceFrame)
{
    if (sourceFrame < 0) {
        return makeError(ErrorKind::InvalidCommand,
                         QStringLiteral("Cannot seek to a position before the start."));
    }
    m_failed = false;
    m_error = MediaError{};
    m_converted.clear();
    m_convertedOffset = 0;
    m_frameReady = false;
    m_decode.demuxerDone = false;
    m_decode.decoderDone = false;
    m_resamplerDrained = false;
    if (m_swr) {
        // Re-initialising drops the samples buffered from before the seek.
        if (const int rc = swr_init(m_swr.get()); rc < 0) {
            return makeError(ErrorKind::Internal,
                             QStringLiteral("The resampler failed: %1").arg(ffmpegErrorText(rc)));
        }
    }

    if (m_lengthFrames >= 0 && sourceFrame >= m_lengthFrames) {
        // At the end: read() only drains the (empty) resampler and reports the end.
        m_nextSourceFrame = m_lengthFrames;
        m_discardUntil = m_lengthFrames;
        m_frameStart = m_lengthFrames;
        m_decode.demuxerDone = true;
        m_decode.decoderDone = true;
        return {};
    }

    if (Result<void> ready = readyToSeek(m_format, m_streamIndex, m_decode); !ready) {
        m_failed = true;
        m_error = ready.error();
        return m_error;
    }
    const AVStream *stream = m_format->streams[m_streamIndex];
    const std::int64_t origin = stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0;
    const std::int64_t timestamp =
        origin + av_rescale_q(sourceFrame, AVRational{1, m_sourceRate}, stream->time_base);
    const int rc = av_seek_frame(m_format.get(), m_streamIndex, timestamp, AVSEEK_FLAG_BACKWARD);
    avcodec_flush_buffers(m_codec.get());
    if (rc < 0) {
        m_failed = true;
        m_error = readError(rc, "positioned");
        return m_error;
    }
    // The demuxer lands on a packet at or before the target; the first decoded frame's timestamp
    // tells where, and read() discards up to the target. Without a timestamp the landing is
    // taken to be the target itself.
    m_nextSourceFrame = sourceFrame;
    m_discardUntil = sourceFrame;
    m_positionFromPts = true;
    return {};
}

} // namespace zyr::media
