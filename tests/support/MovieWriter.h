#pragma once
// Writes the movie files the tests play, through libavformat and libavcodec's encoders: small
// pictures in the common AVI codecs (and Matroska, MP4 and MPEG-TS for the other demuxers, TS
// being the one without an index to seek by), with optional
// sound, and every picture telling its own frame index so that a test can identify it after a
// lossy round trip. Files go wherever the test says, normally a QTemporaryDir.
//
// The picture of frame i is a 4 x 3 grid of equal cells. The top two rows carry i in binary,
// most significant bit first, white for 1 and black for 0; the bottom row is red, green, blue
// and white, which catches swapped colour channels and upside-down pictures. Cells are large
// and flat, so every codec here keeps them readable; readFrameIndex() samples each cell's middle
// and works at any size, the display size of a stretched picture included.
//
// Threads: every function is self-contained and may run on any thread.

#include <QImage>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace zyr::test {

enum class MovieContainer { Avi, Matroska, Mp4, MpegTs };

enum class MovieCodec {
    Mpeg4Xvid, // MPEG-4 Visual (ASP) tagged XVID (the tag only matters in AVI)
    Mpeg4Divx, // MPEG-4 Visual (ASP) tagged DX50
    Mjpeg,     // Motion JPEG, full-range 4:2:0
    MsVideo1,  // Microsoft Video 1, 15-bit RGB
    Cinepak,   // Cinepak, from 24-bit RGB
    RawVideo,  // uncompressed 24-bit BGR (BI_RGB in AVI)
    HuffYuv,   // HuffYUV, 4:2:2
    H264       // H.264 through libx264
};

enum class MovieAudio { None, Pcm16, ImaAdpcm, Mp3 };

struct MovieOptions {
    MovieContainer container = MovieContainer::Avi;
    MovieCodec codec = MovieCodec::Mpeg4Xvid;
    // MS Video 1 and Cinepak need multiples of 4; the others take any even size.
    int width = 64;
    int height = 48;
    // Frames per second as a fraction, 30000 / 1001 for NTSC.
    int rateNum = 15;
    int rateDen = 1;
    int frames = 20; // 1 .. kMaxFrames
    // Sample (pixel) aspect ratio written to the codec and the container.
    int sarNum = 1;
    int sarDen = 1;
    // Frames from one keyframe to the next; 0 leaves the encoder's default.
    int keyInterval = 0;
    // Up to two B-frames in a row, which makes decode order differ from presentation order.
    // MPEG-4 and H.264 in Matroska or MP4 only.
    bool bFrames = false;
    MovieAudio audio = MovieAudio::None;
    int audioRate = 22050;
    int audioChannels = 2;
    // Length of the sound; -1 for as long as the pictures.
    std::int64_t audioMs = -1;
    // Where > 0, sound and pictures are written in runs rather than interleaved packet by
    // packet, as a poorly interleaved file has them: the pictures of runFrames frames at a time,
    // and the sound of their time just before them, or just after with soundAfterRun.
    int runFrames = 0;
    bool soundAfterRun = false;
};

struct WrittenMovie {
    qint64 fileSize = 0;
    // AVI without sound only: for each frame in the order written, the file offset of the
    // first byte of its chunk's payload (its "00dc"/"00db" chunk header is the 8 bytes before).
    std::vector<qint64> videoPayloadOffsets;
};

class MovieWriter {
public:
    static constexpr int kMaxFrames = 256;

    // Whether this FFmpeg build has the encoders `options` needs; when not, says which is
    // missing.
    static bool canWrite(const MovieOptions &options, QString *why = nullptr);
    // Writes a movie. On failure returns nothing and, when `error` is given, says why.
    static std::optional<WrittenMovie> write(const QString &path, const MovieOptions &options,
                                             QString *error = nullptr);

    // The picture write() encodes for frame `index`, in QImage::Format_RGB32.
    static QImage framePicture(int index, int width, int height);
    // The frame index a decoded picture shows, or -1 when it shows none: a cell that is neither
    // clearly black nor clearly white, or a reference colour that is off (`why` says which).
    static int readFrameIndex(const QImage &picture, QString *why = nullptr);

    // A FLAC file with a PNG front cover: sound plus an attached picture and nothing that moves.
    static bool writeSoundWithCover(const QString &path, QString *error = nullptr);
    // Picture formats that can hold several frames, 64x48 at 10 frames per second, with the
    // pictures of framePicture(): a raw Motion JPEG stream (JPEG pictures back to back, no
    // container) and a GIF.
    static bool writeMjpegStream(const QString &path, int frames, QString *error = nullptr);
    static bool writeGif(const QString &path, int frames, QString *error = nullptr);
};

} // namespace zyr::test
