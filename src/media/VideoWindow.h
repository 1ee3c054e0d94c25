#pragma once
// The AVIVideo device's own top-level window: the current picture, scaled to the window with
// its aspect ratio kept and black bars around it. Closing it only hides it and tells the
// device, which pauses the movie.
//
// Pictures take the shortest way to the screen: each one is converted (libswscale) straight
// into the window's backing store, the buffer the window system takes the pixels from (shared
// memory on X11 and Wayland), and only the picture's area is flushed. The device's worker has
// already scaled it to pictureSize(), so the conversion is swscale's unscaled fast path; the
// black bars are painted only after a resize or an exposure. A backing store that is not a
// 32-bit image (a platform of another kind) is painted with QPainter instead.
//
// UI thread only.

#include "media/devices/FfmpegPictureConverter.h"
#include "media/devices/VideoOutput.h"

#include <QBackingStore>
#include <QWindow>

#include <cstdint>
#include <future>

namespace zyr::media {

class VideoWindow : public QWindow, public VideoOutput {
    Q_OBJECT
public:
    // How large the window is made when a movie is prepared: the movie's display size, or,
    // frame included, the whole available area of its screen (the window system's maximized
    // size; without a window manager, as on a bare X server, nothing else would give it that
    // size).
    enum class Placement { MovieSize, FillScreen };

    explicit VideoWindow(Placement placement = Placement::MovieSize);
    ~VideoWindow() override;

    void prepare(const QString &title, QSize displaySize) override;
    void present(VideoPicture picture) override;
    QSize pictureSize() const override;
    void setShown(bool shown) override;
    bool isShown() const override { return isVisible(); }
    void setCloseHandler(std::function<void()> handler) override { m_onClose = std::move(handler); }

    // Where the picture is drawn in the window: centred, as large as fits, aspect ratio kept.
    QRect pictureRect() const;
    // The pictures given to present() that have been painted, each counted once: what of the
    // movie has reached the screen.
    std::int64_t picturesPainted() const { return m_picturesPainted; }

protected:
    void exposeEvent(QExposeEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    enum class Area { Picture, Whole };
    // Paints the picture (and with Area::Whole the bars) into the backing store and flushes
    // it to the screen; nothing while the window is hidden or not exposed.
    void render(Area area);
    // pictureRect() in the backing store's pixels.
    QRect devicePictureRect() const;
    // Makes the backing store the window's size; a new one is warmed up (see m_warming).
    void resizeStore();
    void warmStore();
    void onStoreWarm(std::uint64_t store);

    const Placement m_placement;
    QBackingStore m_store;
    FfmpegPictureConverter m_converter;
    VideoPicture m_picture;
    QSize m_displaySize;
    bool m_barsPainted = false;
    bool m_pictureUnpainted = false; // m_picture has not been painted since present()
    std::int64_t m_picturesPainted = 0;
    std::function<void()> m_onClose;
    // A new backing store gets its memory pages on first write, which for a full-HD window
    // means some 2000 pages zeroed by the kernel: 10 ms and more, too long for the UI thread.
    // A thread of its own has the kernel fault them in (madvise) while the first picture is on
    // its way; a paint asked for meanwhile waits for it. Nothing else touches the store then.
    std::future<void> m_warming;
    std::uint64_t m_warmedStore = 0; // which store m_warming warms, counted from the first
    bool m_renderWhenWarm = false;
};

// The application's video outputs: a VideoWindow each, placed as `placement` says.
VideoOutputFactory
videoWindowFactory(VideoWindow::Placement placement = VideoWindow::Placement::MovieSize);

} // namespace zyr::media
