#pragma once
// A sound as it stands after recordings were inserted into it: a list of pieces, each a stretch
// of the original sound or of one recording, played one after the other. Until the first
// insert it is the original, untouched. From then on the original is read in its own format, so
// the pieces meet exactly at source frames, and the result is converted to the output format
// at the end, where it differs, by one resampler for all pieces.
//
// Threads. Like every AudioSource: used on the playback worker only; insert() is applied there
// too, between reads.

#include "media/devices/AudioSource.h"
#include "media/devices/FloatResampler.h"
#include "media/devices/RecordedSound.h"

#include <memory>
#include <vector>

namespace zyr::media {

class EditedAudioSource : public AudioSource {
public:
    explicit EditedAudioSource(std::unique_ptr<AudioSource> original);

    AudioFormat sourceFormat() const override { return m_original->sourceFormat(); }
    std::int64_t lengthFrames() const override { return m_length; }
    Result<void> setOutputFormat(const AudioFormat &format) override;
    Result<std::size_t> read(float *dst, std::size_t maxFrames) override;
    Result<void> seekToFrame(std::int64_t sourceFrame) override;

    // Inserts `recording` (in the source format) before source frame `at` (clamped to the
    // sound), and reads on from the start of the recording. Fails only when the conversion to
    // the output cannot be set up; the sound is then unchanged.
    Result<void> insert(std::int64_t at, std::shared_ptr<const RecordedSound> recording);

private:
    struct Piece {
        std::shared_ptr<const RecordedSound> recording; // none: the original
        std::int64_t from = 0;                          // first frame within its origin
        std::int64_t frames = 0;
    };

    // Reads up to `maxFrames` source frames of the pieces into `dst`; 0 at the end.
    Result<std::size_t> readSource(float *dst, std::size_t maxFrames);
    // Makes m_piece and m_offset point at source frame `frame`.
    void locate(std::int64_t frame);
    // Reads the original in its own format and converts to `format` here.
    Result<void> convertTo(const AudioFormat &format);

    std::unique_ptr<AudioSource> m_original;
    std::vector<Piece> m_pieces;
    std::int64_t m_length = 0;
    bool m_edited = false; // a recording was inserted: the pieces are read, not the original

    // Where the next read starts.
    std::size_t m_piece = 0;
    std::int64_t m_offset = 0; // within m_pieces[m_piece]
    // The frame of the original the next read of it would return, or -1 after a seek elsewhere.
    std::int64_t m_originalNext = 0;

    // Conversion to the output, when it differs from the source.
    AudioFormat m_output;
    bool m_converting = false;
    FloatResampler m_resampler;
    bool m_drained = false;
    std::vector<float> m_sourceChunk;
    std::vector<float> m_converted;
    std::size_t m_convertedOffset = 0; // in floats
};

} // namespace zyr::media
