#pragma once
// The end of the program. End program stops the kit at once: the event loop is told to return
// with the status, every window disappears, and no further handler runs. What was still open
// (media devices and their workers) is released as main() unwinds.
//
// A fatal error, an exception escaping a handler, is told in one critical message box titled
// "ZYR Multimedia Kit" and then ends the program with a non-zero status. Tests replace the
// message box through setFatalErrorPresenter().
//
// UI thread only.

#include <QString>

#include <functional>

namespace zyr {

class Program {
public:
    using FatalErrorPresenter = std::function<void(const QString &message)>;

    static inline const QString kTitle = QStringLiteral("ZYR Multimedia Kit");

    // Ends the program with the given status: hides every top-level window and leaves the
    // event loop. Handlers guarded by guardHandler() no longer run afterwards.
    static void end(int status);

    // Whether end() has been called; the status it was given.
    static bool ending();
    static int exitStatus();

    // Shows the fatal error to the user, then ends the program with status 1.
    static void fatalError(const QString &message);

    // Replaces how a fatal error is shown (tests); an empty function restores the message box.
    static void setFatalErrorPresenter(FatalErrorPresenter presenter);

    // Forgets an earlier end() (tests that end the program more than once in one process).
    static void resetForTesting();
};

} // namespace zyr
