#pragma once
// Writes the sound files the tests play: RIFF WAVE in the common encodings with a signal the
// tests can check after decoding, FLAC for the non-WAVE path, and the damaged or foreign files a
// sound device has to refuse. Files go wherever the test says, normally a QTemporaryDir.
//
// Threads: every function is self-contained and may run on any thread.

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

namespace zyr::test {

enum class WavEncoding {
    Pcm8,    // unsigned 8-bit
    Pcm16,   // signed 16-bit little endian
    Pcm24,   // signed 24-bit packed
    Pcm32,   // signed 32-bit
    Float32, // IEEE float
    MuLaw,   // G.711 mu-law, encoded by libavcodec
    ALaw,    // G.711 A-law, encoded by libavcodec
    ImaAdpcm // IMA ADPCM (WAVE tag 0x11), encoded by libavcodec
};

// Ramp: an integer ramp at the encoding's own resolution, offset per channel, so that every
// decoded sample tells its frame index and channel (modulo the ramp period) and is exact in
// float. Sine: 0.5 * sin(2 pi 441 Hz t + channel * pi / 2), smooth enough for lossy encodings
// and resampling. Default picks Ramp for PCM and float, Sine for the lossy encodings.
enum class WavSignal { Default, Ramp, Sine };

struct WavOptions {
    WavEncoding encoding = WavEncoding::Pcm16;
    WavSignal signal = WavSignal::Default;
    int sampleRate = 44100;
    int channels = 2;
    std::int64_t frames = 4410;
    bool extensible = false;       // WAVE_FORMAT_EXTENSIBLE header (PCM and float only)
    bool chunksBeforeData = false; // LIST/INFO and an odd-sized JUNK chunk between fmt and data
    bool chunksAfterData = false;  // LIST/INFO after the data chunk
    bool factChunk = false;        // a fact chunk for PCM too (always written for other tags)
    // The data chunk is left as a hole of zeros (sparse on most file systems) instead of being
    // written: multi-gigabyte files in no time. PCM and float only; no chunks after the data.
    bool sparseData = false;
    // Written instead of the true RIFF form size or data chunk size, for lying headers and the
    // 0 / 0xFFFFFFFF sizes of streaming writers.
    std::optional<std::uint32_t> riffSizeField;
    std::optional<std::uint32_t> dataSizeField;
};

// Where things ended up in a written file.
struct WrittenWav {
    qint64 fileSize = 0;
    qint64 dataOffset = 0;  // first byte of the data chunk payload
    qint64 dataBytes = 0;   // payload bytes actually written (without the pad byte)
    int blockAlign = 0;     // bytes per frame, or per compressed block
    int framesPerBlock = 1; // 1 except for ADPCM
    std::int64_t frames = 0;
};

class WavWriter {
public:
    // Writes a WAVE file. On failure returns nothing and, when `error` is given, says why.
    static std::optional<WrittenWav> write(const QString &path, const WavOptions &options,
                                           QString *error = nullptr);

    // The signal value written for `frame` and `channel`, in [-1, 1]: what a decoder converting
    // to float must return, exactly for the ramps, within tolerance() for lossy encodings.
    static double sampleValue(const WavOptions &options, std::int64_t frame, int channel);
    // Largest difference between sampleValue() and a correct decode of the encoding.
    static double tolerance(WavEncoding encoding);
    // Frames at the start of a file during which a lossy encoder is still adapting and the
    // decode may be further off than tolerance(); 0 for the exact encodings.
    static std::int64_t settlingFrames(WavEncoding encoding);
    static WavSignal effectiveSignal(const WavOptions &options);

    // A FLAC file of `frames` frames carrying the 16-bit ramp (as sampleValue() of a Pcm16
    // WavOptions with the same rate and channels), written through libavformat.
    static bool writeFlac(const QString &path, int sampleRate, int channels, std::int64_t frames,
                          QString *error = nullptr);

    // Files that are not sound at all.
    static bool writeText(const QString &path);
    // `format` is "PNG", "JPEG" (both through QImage) or "GIF" (a hand-made 1x1 GIF89a, as Qt
    // cannot write GIF).
    static bool writePicture(const QString &path, const char *format);
    static bool writeRandomBytes(const QString &path, qint64 size, quint32 seed);

    // Damage to an existing file: cut it to `newSize` bytes, or overwrite bytes at `offset`.
    static bool truncate(const QString &path, qint64 newSize);
    static bool overwrite(const QString &path, qint64 offset, const QByteArray &bytes);
};

} // namespace zyr::test
