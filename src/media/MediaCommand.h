#pragma once

#include <QString>

#include <optional>

namespace zyr::media {

// The commands the media device control carries out, whether written into Command or pressed
// as a button. Strings become a command once, here, through one table.
enum class MediaCommand {
    Open,
    Close,
    Play,
    Pause,
    Stop,
    Prev,
    Next,
    Back,
    Step,
    Record,
    Eject,
    Load,
    Seek // to the position in the control's To property
};

// The command named by `text`, regardless of case; nothing for any other string.
std::optional<MediaCommand> parseMediaCommand(const QString &text);

// The command's name as the control accepts it ("Play").
QString mediaCommandName(MediaCommand command);

} // namespace zyr::media
