#include "players/PlayerOpenSequence.h"

#include "app/MessageBox.h"
#include "media/ComponentProperties.h"
#include "players/PositionBar.h"

#include <QScrollBar>

namespace zyr {

namespace {

// The steps after the dialog: the device type, the dialog's file name passed on, "Open", Error.
OpenOutcome openDialogFileName(media::Dispatchable &dialog, media::Dispatchable &control,
                               const QString &deviceType)
{
    media::MediaControlProperties mm(control);
    mm.setDeviceType(deviceType);
    mm.setFileName(media::FileDialogProperties(dialog).fileName());
    mm.setCommand(QStringLiteral("Open"));
    return mm.error() > 0 ? OpenOutcome::Failed : OpenOutcome::Opened;
}

} // namespace

OpenOutcome openThroughDialog(media::Dispatchable &dialog, media::Dispatchable &control,
                              const QString &filter, const QString &deviceType)
{
    media::FileDialogProperties dlg(dialog);
    try {
        dlg.setFilter(filter);
        dlg.setFilterIndex(2);
        dlg.setAction(1);
    } catch (const std::exception &) {
        return OpenOutcome::Cancelled;
    }
    return openDialogFileName(dialog, control, deviceType);
}

OpenOutcome openAsPicked(media::Dispatchable &dialog, media::Dispatchable &control,
                         const QString &path, const QString &deviceType)
{
    media::FileDialogProperties(dialog).setFileName(path);
    return openDialogFileName(dialog, control, deviceType);
}

void reportCantOpen(QWidget *window, const QString &prefix, media::Dispatchable &dialog)
{
    MessageBox::critical(window, prefix + media::FileDialogProperties(dialog).fileName(),
                         QStringLiteral("Error"));
}

void setBarToMedium(QScrollBar &bar, media::Dispatchable &control)
{
    bar.setMinimum(0);
    bar.setMaximum(positionBarMaximum(media::MediaControlProperties(control).length()));
    bar.setEnabled(true);
}

void followPosition(QScrollBar &bar, media::Dispatchable &control)
{
    media::MediaControlProperties mm(control);
    const std::int32_t position = mm.position();
    const std::int32_t length = mm.length();
    // A recording makes the medium longer while it runs: the bar grows with it.
    if (bar.maximum() != positionBarMaximum(length))
        bar.setMaximum(positionBarMaximum(length));
    bar.setValue(positionBarValue(position, length));
}

} // namespace zyr
