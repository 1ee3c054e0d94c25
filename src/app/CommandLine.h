#pragma once
// The kit's command line: zyr-kit [OPTIONS] [FILE-OR-URI]. Without a medium the kit starts as
// it always has; with one it starts and then opens the medium in its player (OpenFromOutside.h).

#include <QString>
#include <QStringList>

#include <optional>
#include <variant>

namespace zyr {

// Answers --help and --version on standard output before the windowing system is reached, so
// that they work without a display: the exit status, or nothing when the kit is to start.
std::optional<int> answerCommandLineAtOnce(int argc, char **argv);

// The medium the command line names, empty for none, from the arguments the application has left
// after taking its own (-platform, -display, ...). A malformed command line is told on standard
// error with the usage, and the exit status comes back instead.
std::variant<QString, int> mediumOnCommandLine(const QStringList &arguments);

} // namespace zyr
