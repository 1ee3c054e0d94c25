#include "media/MediaCommand.h"

#include <array>
#include <utility>

namespace zyr::media {

namespace {

constexpr std::array<std::pair<MediaCommand, const char *>, 13> kCommands{{
    {MediaCommand::Open, "Open"},
    {MediaCommand::Close, "Close"},
    {MediaCommand::Play, "Play"},
    {MediaCommand::Pause, "Pause"},
    {MediaCommand::Stop, "Stop"},
    {MediaCommand::Prev, "Prev"},
    {MediaCommand::Next, "Next"},
    {MediaCommand::Back, "Back"},
    {MediaCommand::Step, "Step"},
    {MediaCommand::Record, "Record"},
    {MediaCommand::Eject, "Eject"},
    {MediaCommand::Load, "Load"},
    {MediaCommand::Seek, "Seek"},
}};

} // namespace

std::optional<MediaCommand> parseMediaCommand(const QString &text)
{
    for (const auto &[command, name] : kCommands)
        if (text.compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
            return command;
    return std::nullopt;
}

QString mediaCommandName(MediaCommand command)
{
    for (const auto &[c, name] : kCommands)
        if (c == command)
            return QLatin1String(name);
    return {};
}

} // namespace zyr::media
