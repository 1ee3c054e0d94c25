#pragma once

#include "media/devices/VideoOutput.h"

#include <QWidget>

namespace zyr::media {

// The AVIVideo device's own top-level window: the current frame, scaled to the window with its
// aspect ratio kept and black bars around it. Closing it only hides it and tells the device,
// which pauses the movie. UI thread only.
class VideoWindow : public QWidget, public VideoOutput {
    Q_OBJECT
public:
    explicit VideoWindow(QWidget *parent = nullptr);

    void prepare(const QString &title, QSize displaySize) override;
    void present(const QImage &frame) override;
    void setShown(bool shown) override;
    bool isShown() const override { return isVisible(); }
    void setCloseHandler(std::function<void()> handler) override { m_onClose = std::move(handler); }

    QImage currentFrame() const { return m_frame; }
    // Where the frame is drawn in the window: centred, as large as fits, aspect ratio kept.
    QRect pictureRect() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    QImage m_frame;
    QSize m_displaySize;
    std::function<void()> m_onClose;
};

// The application's video outputs: a VideoWindow each.
VideoOutputFactory videoWindowFactory();

} // namespace zyr::media
