#include "media/devices/SequencerDevice.h"

#include "media/devices/MidiFileReader.h"
#include "media/devices/MidiSynthSource.h"
#include "media/devices/SoundFontLibrary.h"

namespace zyr::media {

SequencerDevice::SequencerDevice(AudioSinkFactory sinks, QObject *parent)
    : AudioPlaybackDevice(std::move(sinks), parent)
{
    SoundFontLibrary::instance().startLoading();
}

bool SequencerDevice::isReadyToOpen() const
{
    return SoundFontLibrary::instance().isSettled();
}

Result<std::unique_ptr<AudioSource>> SequencerDevice::openSource(const QString &fileName)
{
    Result<MidiSequence> sequence = MidiFileReader::readFile(fileName);
    if (!sequence.ok())
        return sequence.error();
    const Result<fluid_sfont_t *> soundFont = SoundFontLibrary::instance().soundFont();
    if (!soundFont.ok())
        return soundFont.error();
    return std::unique_ptr<AudioSource>(
        std::make_unique<MidiSynthSource>(std::move(sequence).value(), soundFont.value()));
}

} // namespace zyr::media
