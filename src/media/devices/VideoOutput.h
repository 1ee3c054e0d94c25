#pragma once
// Where a movie's pictures go: the AVIVideo device's own top-level window. The device knows it
// only through this interface, so that the device stays free of widgets and tests can watch
// what would be shown.
//
// UI thread only: the device hands pictures over from its video worker through queued calls.

#include "media/devices/VideoPicture.h"

#include <QSize>
#include <QString>

#include <functional>
#include <memory>

namespace zyr::media {

class VideoOutput {
public:
    virtual ~VideoOutput() = default;

    // Titles the window (the movie's file name) and sizes its picture area to `displaySize`.
    virtual void prepare(const QString &title, QSize displaySize) = 0;
    // Shows `picture` at once, scaled to the window with its aspect ratio kept (black bars
    // around), and keeps it until the next one (to show it again when the window is uncovered
    // or resized).
    virtual void present(VideoPicture picture) = 0;
    // The size in pixels the output would like pictures at, so that they need no scaling
    // when they are shown; empty when it has no wish.
    virtual QSize pictureSize() const = 0;
    // Shows the window (raised) or hides it.
    virtual void setShown(bool shown) = 0;
    virtual bool isShown() const = 0;
    // Called when the user closes the window; the device pauses the movie.
    virtual void setCloseHandler(std::function<void()> handler) = 0;
};

// Makes the output for one open movie.
using VideoOutputFactory = std::function<std::unique_ptr<VideoOutput>()>;

} // namespace zyr::media
