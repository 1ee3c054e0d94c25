#pragma once
// The two components of the player windows' designs, as design-table entries.

#include "app/WindowDesign.h"
#include "media/FileOpenDialog.h"
#include "media/MediaControl.h"
#include "media/MediaControlSettings.h"

namespace zyr {

// The media device control `name` with its design-time settings: extent in HIMETRIC, the
// update interval and the two flag bytes at offset 80 of its persisted block.
inline ControlDesign mediaControl(QString name, int left, int top, int width, int height,
                                  int tabIndex, std::uint32_t widthHimetric,
                                  std::uint32_t heightHimetric, std::uint16_t updateInterval,
                                  std::uint16_t bytes80)
{
    const QByteArray block = media::MediaControlSettings::toPersisted(widthHimetric, heightHimetric,
                                                                      updateInterval, bytes80);
    return component(std::move(name), left, top, width, height, tabIndex,
                     [block](QWidget *parent, const ControlDesign &) {
                         return new media::MediaControl(block, parent);
                     });
}

// The file-open dialog `name` at its design place; its extent is always 480 x 480 twips and
// nothing of it shows at run time.
inline ControlDesign fileOpenDialog(QString name, int left, int top)
{
    ControlDesign c = component(
        std::move(name), left, top, 480, 480, -1, [](QWidget *parent, const ControlDesign &) {
            return new media::FileOpenDialog(media::FileOpenDialog::designBlock(), parent);
        });
    c.visibleAtRunTime = false;
    return c;
}

} // namespace zyr
