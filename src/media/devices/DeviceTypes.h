#pragma once
// The device types the media device control opens, by name, regardless of case.

#include "media/devices/MediaDevice.h"
#include "media/devices/VideoOutput.h"
#include "media/input/AudioCaptureFactory.h"
#include "media/output/AudioSinkFactory.h"

#include <QString>

#include <functional>
#include <memory>

namespace zyr::media {

// What a device is made with: where its sound and pictures go, and (for tests) a maker that
// stands in for the table of device types.
struct DeviceContext {
    AudioSinkFactory sinks = {};
    std::function<std::unique_ptr<MediaDevice>(const QString &type)> makeDevice = {};
    // Where movies' pictures go; none: they are decoded and not shown.
    VideoOutputFactory videoOutputs = {};
    // Where recordings come from; none: nothing can be recorded.
    AudioCaptureFactory captures = {};
};

struct DeviceType {
    const char *name;
    std::function<std::unique_ptr<MediaDevice>(const DeviceContext &)> make;
};

// The type named `name` regardless of case, or nullptr.
const DeviceType *findDeviceType(const QString &name);

// The application's context: the SDL output with the silent fallback, SDL's default input,
// and no video output (the control, a widget, puts its video window factory in).
DeviceContext defaultDeviceContext();

} // namespace zyr::media
