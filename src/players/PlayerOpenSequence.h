#pragma once
// What the players' File, Open handlers and position bars have in common.

#include <QString>

class QScrollBar;
class QWidget;

namespace zyr {

namespace media {
class Dispatchable;
}

enum class OpenOutcome {
    Cancelled, // the dialog raised an error (a cancel included): nothing was changed
    Failed,    // the control's Error is above 0 after "Open"
    Opened
};

// Shows the dialog with `filter` and the second filter preselected, inside a trap: anything the
// dialog raises ends it as Cancelled. Then sets the control's device type, passes the dialog's
// file name on, sends "Open" and reads Error (0 and below count as success).
OpenOutcome openThroughDialog(media::Dispatchable &dialog, media::Dispatchable &control,
                              const QString &filter, const QString &deviceType);

// Opens `path`, named from outside the kit, as if the user had just picked it in the dialog: the
// dialog's file name becomes the path, and the steps after the dialog follow as above. Never
// Cancelled.
OpenOutcome openAsPicked(media::Dispatchable &dialog, media::Dispatchable &control,
                         const QString &path, const QString &deviceType);

// The failed open's message: `prefix` directly followed by the path the dialog returned, in a
// critical message box titled "Error".
void reportCantOpen(QWidget *window, const QString &prefix, media::Dispatchable &dialog);

// After a successful open: the bar runs from 0 over the medium's length and is enabled; its
// value is left for the next status update.
void setBarToMedium(QScrollBar &bar, media::Dispatchable &control);

// On a status update: the thumb moves to the playing position, and the bar's range follows a
// medium whose length has changed (a recording).
void followPosition(QScrollBar &bar, media::Dispatchable &control);

} // namespace zyr
