#include "media/devices/DeviceTypes.h"

#include "media/devices/AviVideoDevice.h"
#include "media/devices/CdAudioDevice.h"
#include "media/devices/SequencerDevice.h"
#include "media/devices/WaveAudioDevice.h"

#include <array>

namespace zyr::media {

namespace {

template <typename Device> std::unique_ptr<MediaDevice> make(const DeviceContext &context)
{
    return std::make_unique<Device>(context.sinks);
}

std::unique_ptr<MediaDevice> makeWaveAudio(const DeviceContext &context)
{
    return std::make_unique<WaveAudioDevice>(context.sinks, context.captures);
}

std::unique_ptr<MediaDevice> makeAviVideo(const DeviceContext &context)
{
    return std::make_unique<AviVideoDevice>(context.sinks, context.videoOutputs);
}

const std::array<DeviceType, 4> kDeviceTypes{{
    {"WaveAudio", &makeWaveAudio},
    {"Sequencer", &make<SequencerDevice>},
    {"AVIVideo", &makeAviVideo},
    {"CDAudio", &make<CdAudioDevice>},
}};

} // namespace

const DeviceType *findDeviceType(const QString &name)
{
    for (const DeviceType &type : kDeviceTypes)
        if (name.compare(QLatin1String(type.name), Qt::CaseInsensitive) == 0)
            return &type;
    return nullptr;
}

DeviceContext defaultDeviceContext()
{
    return {defaultAudioSinkFactory(), {}, {}, defaultAudioCaptureFactory()};
}

} // namespace zyr::media
