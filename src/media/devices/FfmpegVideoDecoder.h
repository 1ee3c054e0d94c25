#pragma once
// Decodes the video stream of a movie file through FFmpeg and hands out its pictures one at a
// time, in presentation order, as the codec made them or as QImages ready to paint. The AVIVideo
// device owns one per open file; the sound of the same file goes through an FfmpegAudioDecoder of
// its own.
//
// Opening comes in two steps. openHeaders() reads the container's headers and refuses what is
// not a movie; it is quick whatever the file, and the AVIVideo device runs it on the UI thread.
// prime() opens the codec and decodes the first picture, the part that takes time (tens of
// milliseconds for H.264 at 720p); an AVI is then read on from its headers as a stream, and its
// index is read only for a seek (FfmpegInput.h). The device runs it on its video worker. open()
// does both.
//
// Threads. After openHeaders() the decoder belongs to one thread at a time; it has no locks,
// and handing it to another thread needs the usual happens-before (a mutex, a queued signal, a
// thread join). Pictures handed out (VideoPicture, or the QImage in a VideoFrame) may go to any
// thread.
//
// Positions. Frames are numbered from 0 in presentation order. A frame's index and time come
// from its timestamp relative to the start of the stream: index = time * frameRate(), both
// rounded to the nearest (halves away from zero). For AVI, where every frame has a slot of
// exactly 1 / frameRate(), frame i is at i * 1000 / frameRate() ms. For containers with
// irregular timestamps the index is the nearest frame slot and two frames may share one.

#include "media/core/Result.h"
#include "media/devices/FfmpegDecodeLoop.h"
#include "media/devices/FfmpegHandles.h"
#include "media/devices/FfmpegMovieInput.h"
#include "media/devices/FfmpegPictureConverter.h"
#include "media/devices/VideoPicture.h"

#include <QImage>
#include <QSize>
#include <QString>

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>

namespace zyr::media {

// One decoded picture. `image` is QImage::Format_RGB32 at the decoder's displaySize().
struct VideoFrame {
    std::int64_t ptsMs = 0; // presentation time from the start of the stream
    std::int64_t index = 0; // frame number, see "Positions" above
    QImage image;
};

class FfmpegVideoDecoder {
public:
    // Returned by frameCount() and lengthMs() when the container states no length.
    static constexpr std::int64_t kUnknownLength = MovieInput::kUnknownLength;

    FfmpegVideoDecoder(const FfmpegVideoDecoder &) = delete;
    FfmpegVideoDecoder &operator=(const FfmpegVideoDecoder &) = delete;
    ~FfmpegVideoDecoder();

    // Opens `path`, picks its best video stream (FFmpeg's choice, skipping cover art) and
    // decodes the first picture, which next() returns first: openHeaders(), then prime().
    // Decoding runs on one thread up to full HD, above it on as many threads as the codec
    // supports (frame and slice threading, one per core).
    // Errors, all with a message that names the file:
    //   FileNotFound      empty name, no such path, a directory;
    //   FileUnreadable    the file cannot be opened or read;
    //   UnsupportedFormat FFmpeg cannot identify the file, or only guesses at it (raw Motion
    //                     JPEG without a container is such a guess); it has no video stream
    //                     (sound files included); it is a still picture or a picture sequence
    //                     (image demuxers, a one-frame GIF or APNG, cover art, streams marked
    //                     as still images); it is text (FFmpeg shows text files as ANSI art);
    //                     or no decoder exists for its video;
    //   CorruptMedia      a recognised movie container (AVI, Matroska/WebM, MP4/QuickTime)
    //                     whose header cannot be read or describes no streams, a video stream
    //                     without a picture size, or a first picture that fails to decode or
    //                     never comes.
    // Any thread; reads headers and the first picture only.
    static Result<std::unique_ptr<FfmpegVideoDecoder>> open(const QString &path);
    // The first step of open(): headers only, and the errors of open() but those that need a
    // picture decoded, which prime() reports. A picture format that may or may not move (GIF,
    // APNG, raw Motion JPEG) is primed here, since only its pictures tell whether it is a movie.
    // Any thread (the UI thread in practice); returns quickly whatever the file.
    static Result<std::unique_ptr<FfmpegVideoDecoder>> openHeaders(const QString &path);
    // The second step: opens the codec and decodes the first picture, which next() returns
    // first. CorruptMedia when the codec cannot be opened or the first picture fails or never
    // comes (FileUnreadable for an I/O failure), UnsupportedFormat for a picture format with
    // one picture only. After a success it does nothing; after a failure it returns the same
    // error, and so do next(), skip() and the seeks, which prime the decoder when it is not yet.
    // Owner thread; decodes.
    Result<void> prime();

    // Facts about the source; fixed after open. Owner thread, or any thread once open() returned.
    //
    // The size of the pictures as stored (the codec's width and height, without the padding to
    // whole macroblocks some codecs decode into).
    QSize codedSize() const { return m_input.codedSize; }
    // The size to show the pictures at: codedSize() with its width stretched or squeezed by the
    // sample (pixel) aspect ratio and rounded to the nearest even number, its height kept. With
    // square pixels, or a ratio beyond 8:1 either way (taken as nonsense), it is codedSize().
    // Known once prime() has succeeded (the first picture may state the ratio); codedSize()
    // before. Owner thread.
    QSize displaySize() const { return m_displaySize; }
    // Frames per second as FFmpeg guesses it from the stream (av_guess_frame_rate()); 25 when
    // the file gives no usable rate.
    double frameRate() const;
    // Frames in the stream: the count the container states (AVI's stream header, MP4's sample
    // table); otherwise the stream's, or failing that the container's, duration times
    // frameRate(), rounded to the nearest; kUnknownLength when there is neither. The AVI count
    // includes frames the writer dropped (empty chunks); a truncated file keeps the count its
    // header announced.
    std::int64_t frameCount() const { return m_input.frameCount; }
    // Length in milliseconds, rounded to the nearest (halves up): the video stream's duration,
    // else the container's, else frameCount() / frameRate(); kUnknownLength when none is known.
    // Exact for AVI: frameCount() * 1000 / frameRate().
    std::int64_t lengthMs() const { return m_input.lengthMs; }
    // True when the file also holds an audio stream (decodable or not).
    bool hasAudio() const { return m_input.hasAudio; }
    // FFmpeg's short name of the video codec ("mpeg4", "cinepak", "h264", ...).
    QString codecName() const;

    // Decodes the next picture and hands it out as the codec made it. std::nullopt at the end
    // of the stream, and again on every later call. A read or decode failure ends the stream:
    // pictures decoded before it are still returned, then every call returns the error
    // (CorruptMedia, or FileUnreadable for an I/O failure) until a seek. An AVI shorter than its
    // header announces ends with CorruptMedia instead of std::nullopt. Owner thread; blocks on
    // file I/O and decoding.
    Result<std::optional<VideoPicture>> nextPicture();
    // nextPicture() converted to RGB32 at displaySize() (FfmpegPictureConverter); a picture
    // that cannot be converted ends the stream like a decode failure.
    Result<std::optional<VideoFrame>> next();
    // Decodes the next picture like next() but does not convert it: true when a picture was
    // passed over, false at the end. For dropping frames when playback falls behind. Same
    // errors as next(). Owner thread.
    Result<bool> skip();

    // Positions the stream so that the next picture next() or skip() returns is the last one
    // whose ptsMs is at or before `ms` (exact: a container seek to the keyframe before it, then
    // the pictures in between are decoded and dropped). A time before the first picture gives
    // the first picture, one at or past the end the last picture. Clears an earlier error.
    // Fails with InvalidCommand for a negative time; CorruptMedia or FileUnreadable when the
    // container cannot seek or the pictures on the way fail to decode, after which next()
    // returns that error until the next seek. When the target picture decodes but the one after
    // it does not, the seek succeeds: next() returns the target, then the error. Owner thread;
    // blocks on file I/O and decoding.
    Result<void> seekToMs(std::int64_t ms);
    // The same by frame index: the next picture is the last one whose index is at or before
    // `index`, so seekToFrame(i) followed by next() shows frame i of a stream without gaps.
    // For stepping one frame forward or back.
    Result<void> seekToFrame(std::int64_t index);

private:
    // A decoded picture with its position.
    struct Picture {
        FramePtr frame;
        std::int64_t index = 0;
        std::int64_t ptsMs = 0;
    };
    // What a seek aims at: a time or a frame index.
    struct SeekTarget {
        bool byIndex = false;
        std::int64_t value = 0;
    };

    explicit FfmpegVideoDecoder(MovieInput input);

    // Makes `out` hold the next decoded picture; false at the end of the stream.
    Result<bool> decodeInto(Picture &out);
    // Moves the next picture (queued by open() or a seek, or freshly decoded) into m_current.
    Result<bool> advance();
    // advance() for next() and skip(): keeps the stream failed after an error and turns the
    // early end of a truncated AVI into one.
    Result<bool> advanceForCaller();
    void stamp(Picture &picture);
    // Opens the codec and decodes the first picture (and a picture format's second) into the
    // queue.
    Result<void> primeOnce();
    Result<void> seekTo(SeekTarget target);
    Result<void> containerSeek(std::int64_t timestamp);
    std::int64_t keyOf(const Picture &picture, SeekTarget target) const;
    std::int64_t seekTimestampFor(SeekTarget target) const;
    MediaError readError(int errorCode, const char *what) const;
    Result<Picture> newPicture() const;

    // The file, its stream and the facts its container gives about it.
    MovieInput m_input;
    CodecContextPtr m_codec;
    PacketPtr m_packet;
    FfmpegPictureConverter m_converter;
    QSize m_displaySize;
    bool m_primed = false;
    // prime() failed: the decoder stays unusable, with this error.
    std::optional<MediaError> m_primeError;

    // Pictures decoded ahead: the first one after open(), and the target and its successor
    // after a seek. next() takes from here before decoding more.
    std::deque<Picture> m_queue;
    Picture m_current;
    // Index given to a picture without a timestamp: one past the previous picture.
    std::int64_t m_lastIndex = -1;

    DecodeLoopState m_decode;
    bool m_failed = false;
    MediaError m_error;
};

} // namespace zyr::media
