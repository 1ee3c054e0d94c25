#pragma once
// Decodes the audio stream of a file through FFmpeg and hands it out as interleaved 32-bit float
// frames in the output format a sink asks for. The WaveAudio device owns one per open file.
//
// Threads. open() runs on the UI thread and only reads headers and the first packet, so it
// returns quickly whatever the size of the file. From then on the decoder belongs to one thread
// at a time, normally the device worker; it has no locks, and handing it to another thread needs
// the usual happens-before (a mutex, a queued signal, a thread join).
//
// Positions. Source frames count sample frames of the file at its own rate, from 0. For RIFF
// WAVE files the length is exact (see lengthFrames()); read() then delivers exactly that many
// source frames, converted to the output rate.

#include "media/core/Result.h"
#include "media/devices/FfmpegDecodeLoop.h"
#include "media/devices/FfmpegHandles.h"
#include "media/output/AudioFormat.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace zyr::media {

class FfmpegAudioDecoder {
public:
    // Returned by lengthFrames() and lengthMs() when the container states no duration.
    static constexpr std::int64_t kUnknownLength = -1;
    // Highest source rate open() accepts: twice the highest output rate, so that resampling
    // never reduces by more than 2:1. A rate far beyond it only comes from a damaged header, and
    // the resampler's filter for such a ratio takes many seconds to build.
    static constexpr int kMaxSourceRate = 2 * AudioFormat::kMaxSampleRate;

    // How open() learns the streams of a file that is not RIFF WAVE: FFmpeg's analysis, which
    // reads and decodes packets of every stream and tells the length; or, for an AVI whose
    // headers describe its streams, the headers alone, which leave the length unknown unless
    // they state it (the AVIVideo device fits the sound to the movie's length anyway); reads
    // go on from the headers as a stream, and the index is read only for a seek (FfmpegInput.h).
    enum class StreamFacts { Analysed, FromAviHeaders };

    FfmpegAudioDecoder(const FfmpegAudioDecoder &) = delete;
    FfmpegAudioDecoder &operator=(const FfmpegAudioDecoder &) = delete;
    ~FfmpegAudioDecoder();

    // Opens `path`, checks that it holds decodable audio and decodes its first packet. The output
    // format starts as the source rate and channel count (capped to AudioFormat's limits).
    // Errors:
    //   FileNotFound      empty name, no such path, a directory;
    //   FileUnreadable    the file cannot be opened or read;
    //   UnsupportedFormat FFmpeg cannot identify the file, it is an image, it has no audio
    //                     stream, no decoder exists for its audio, or its rate is above
    //                     kMaxSourceRate;
    //   CorruptMedia      a RIFF WAVE whose sizes disagree with the file (see the .cpp), one with
    //                     no samples, or any audio file whose header or first packet fails to
    //                     decode.
    // Any thread (the UI thread in practice); reads headers and the first packet only.
    static Result<std::unique_ptr<FfmpegAudioDecoder>>
    open(const QString &path, StreamFacts facts = StreamFacts::Analysed);

    // Facts about the source; fixed after open. Owner thread, or any thread once open() returned.
    int sourceSampleRate() const { return m_sourceRate; }
    int sourceChannels() const { return m_sourceChannels; }
    // Exact for RIFF WAVE: whole sample frames in the data chunk for PCM, G.711 and float data;
    // FFmpeg's stream duration (the 'fact' chunk) for compressed WAVE data, but no more than the
    // data's blocks can hold. For other containers
    // the container's duration at the source rate, rounded to the nearest frame; kUnknownLength
    // when it states none.
    std::int64_t lengthFrames() const { return m_lengthFrames; }
    // lengthFrames() in milliseconds, rounded to the nearest (halves round up); kUnknownLength
    // when the length is unknown.
    std::int64_t lengthMs() const;
    // Bits of one decoded sample as the decoder delivers it (8 or 16 for common PCM and ADPCM
    // files, 32 for float, 24- and 32-bit PCM), 0 when unknown. Owner thread.
    int sourceBitsPerSample() const;
    // FFmpeg's short name of the demuxer ("wav", "flac", ...), for logs and messages.
    QString containerName() const;

    // Converts everything read from now on to interleaved float at `sampleRate` with `channels`
    // channels; a mono source goes to every output channel at full level, other layouts use
    // FFmpeg's standard up/down mix. Output already converted but not yet read is dropped, so
    // call it before the first read() or right after seekToFrame(). Fails with InvalidCommand for
    // a format outside AudioFormat::isValid(). Owner thread.
    Result<void> setOutputFormat(int sampleRate, int channels);
    Result<void> setOutputFormat(const AudioFormat &format);
    AudioFormat outputFormat() const { return m_output; }

    // Decodes and converts up to `maxFrames` frames into `dst`, which holds at least
    // maxFrames * outputFormat().channels floats. Returns the frames written; 0 only at the end
    // of the stream. A read or decode failure after open ends the stream: frames decoded before
    // it are still returned, and the following calls return the error (CorruptMedia, or
    // FileUnreadable for an I/O failure) until seekToFrame(). Owner thread; blocks on file I/O.
    Result<std::size_t> read(float *dst, std::size_t maxFrames);

    // Positions the stream so that the next frame read() returns starts at source frame
    // `sourceFrame` (exact: a coarse container seek, then decoded frames before the target are
    // discarded). 0 rewinds; a frame at or past the end leaves the stream at its end. Clears an
    // earlier read error. Fails with InvalidCommand for a negative frame, CorruptMedia or
    // FileUnreadable when the container cannot seek. Owner thread; blocks on file I/O.
    Result<void> seekToFrame(std::int64_t sourceFrame);

private:
    FfmpegAudioDecoder() = default;

    Result<void> primeFirstFrame();
    Result<void> configureResampler(int inRate, int inFormat, const AVChannelLayout &inLayout);
    // Makes m_frame hold the next decoded frame; false at the end of the stream.
    Result<bool> decodeNextFrame();
    // Converts the part of m_frame from frame offset `skip` into m_converted, keeping at most
    // `count` frames.
    Result<void> convertFrame(int skip, int count);
    Result<void> drainResampler();
    MediaError readError(int errorCode, const char *what) const;

    QString m_fileName;
    InputFormatContextPtr m_format;
    CodecContextPtr m_codec;
    SwrContextPtr m_swr;
    PacketPtr m_packet;
    FramePtr m_frame;
    int m_streamIndex = -1;
    bool m_isWave = false;

    int m_sourceRate = 0;
    int m_sourceChannels = 0;
    std::int64_t m_lengthFrames = kUnknownLength;
    // read() stops after m_lengthFrames source frames when true (exact RIFF WAVE lengths), which
    // drops the padding at the end of the last compressed block.
    bool m_capAtLength = false;

    AudioFormat m_output;
    // The input side the resampler was set up for, layout as the decoder reports it; the
    // resampler is rebuilt when a frame differs.
    int m_swrInRate = 0;
    int m_swrInFormat = -1;
    AVChannelLayout m_swrInLayout{};

    // m_frame holds a decoded frame that read() has not converted yet.
    bool m_frameReady = false;
    // Source frame of the next decoded sample and frames still to discard after a seek.
    std::int64_t m_nextSourceFrame = 0;
    std::int64_t m_discardUntil = 0;
    // Source frame of the first sample in m_frame.
    std::int64_t m_frameStart = 0;
    // Set by a seek: take the next frame's position from its timestamp.
    bool m_positionFromPts = false;
    DecodeLoopState m_decode;
    bool m_resamplerDrained = false;
    bool m_failed = false;
    MediaError m_error;

    // Converted output not yet handed out, interleaved in the output format.
    std::vector<float> m_converted;
    std::size_t m_convertedOffset = 0; // in floats
};

} // namespace zyr::media
