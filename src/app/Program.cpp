#include "app/Program.h"

#include "app/MessageBox.h"

#include <QApplication>
#include <QWidget>

namespace zyr {

namespace {

// The program's own lifetime is process-wide by nature; it lives here and nowhere else.
struct ProgramState {
    bool ending = false;
    int status = 0;
    Program::FatalErrorPresenter presenter;
};

ProgramState &state()
{
    static ProgramState s;
    return s;
}

} // namespace

void Program::end(int status)
{
    ProgramState &s = state();
    if (s.ending)
        return;
    s.ending = true;
    s.status = status;
    for (QWidget *w : QApplication::topLevelWidgets())
        w->hide();
    QCoreApplication::exit(status);
}

bool Program::ending()
{
    return state().ending;
}

int Program::exitStatus()
{
    return state().status;
}

void Program::fatalError(const QString &message)
{
    ProgramState &s = state();
    if (s.ending)
        return;
    if (s.presenter)
        s.presenter(message);
    else
        MessageBox::showCritical(nullptr, message, kTitle);
    end(1);
}

void Program::setFatalErrorPresenter(FatalErrorPresenter presenter)
{
    state().presenter = std::move(presenter);
}

void Program::resetForTesting()
{
    state().ending = false;
    state().status = 0;
}

} // namespace zyr
