#pragma once
// A medium named from outside the kit: on the command line, by a second start of the kit, by the
// desktop's media keys, or dropped on the main menu; a path or a file:// or cdda:// URI.
//
// The player is chosen by the file's first bytes (RIFF WAVE, a Standard MIDI File, RIFF AVI),
// then by its name's extension. A cue sheet is a disc image for the CD player, and so is a drive:
// a block device such as /dev/sr0, or cdda://sr0 as desktops name the audio CD in it. Only those
// few bytes are read, here in the shell, so that choosing a player loads no media library. A file
// that does not exist, is no regular file, or is of no kind the kit knows has no player. UI thread.

#include "app/WindowClass.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace zyr {

struct OutsideMedium {
    // What the player opens: the local path or the drive's device node; for a medium of no known
    // kind what failed to open, as the user named it.
    QString path;
    std::optional<WindowClass> player; // none: the kit has no player for it
};

// Relative paths are taken from the current folder.
OutsideMedium identifyMedium(const QString &fileOrUri);

// What the kit opens from outside, as the desktop names it: URI schemes and media types.
QStringList openedUriSchemes();
QStringList openedMediaTypes();

// The medium as a URI that means the same to a kit running in another folder: a path becomes a
// file:// URI of its absolute path; a URI stays as it is.
QString mediumUri(const QString &fileOrUri);

} // namespace zyr
