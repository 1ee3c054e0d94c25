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
    // The whole file is checked here, so that a damaged one fails to open; its events are read
    // on the worker, where a long file's cost does not hold up the windows.
    Result<MidiFileReader::ScannedFile> file = MidiFileReader::scanFile(fileName);
    if (!file.ok())
        return file.error();
    const Result<fluid_sfont_t *> soundFont = SoundFontLibrary::instance().soundFont();
    if (!soundFont.ok())
        return soundFont.error();
    MidiFileReader::ScannedFile scanned = std::move(file).value();
    return std::unique_ptr<AudioSource>(std::make_unique<MidiSynthSource>(
        std::move(scanned.bytes), scanned.lengthUs, soundFont.value()));
}

} // namespace zyr::media
