#include "app/WindowRegistry.h"

#include "app/DesignedWindow.h"

#include <stdexcept>

namespace zyr {

QString designName(WindowClass windowClass)
{
    switch (windowClass) {
    case WindowClass::MainMenu:
        return QStringLiteral("frmkivo");
    case WindowClass::AviViewer:
        return QStringLiteral("frmPlayavi");
    case WindowClass::CdPlayer:
        return QStringLiteral("frmCD");
    case WindowClass::WavPlayer:
        return QStringLiteral("frmMyWav");
    case WindowClass::MidiPlayer:
        return QStringLiteral("frmMidi");
    case WindowClass::About:
        return QStringLiteral("frmAbout");
    }
    return {};
}

WindowRegistry::WindowRegistry(Factories factories) : m_factories(std::move(factories)) {}

// Windows go in the reverse order of the slots, players before the main menu.
WindowRegistry::~WindowRegistry()
{
    for (auto it = m_slots.rbegin(); it != m_slots.rend(); ++it)
        it->reset();
}

DesignedWindow &WindowRegistry::get(WindowClass windowClass)
{
    const auto index = static_cast<std::size_t>(windowClass);
    if (!m_slots.at(index)) {
        if (!m_factories.at(index))
            throw std::logic_error("no window for " + designName(windowClass).toStdString());
        m_slots[index] = m_factories[index](*this);
        m_slots[index]->formLoad();
    }
    return *m_slots[index];
}

bool WindowRegistry::exists(WindowClass windowClass) const
{
    return m_slots.at(static_cast<std::size_t>(windowClass)) != nullptr;
}

void WindowRegistry::show(DesignedWindow &window)
{
    window.show();
    if (window.isMinimized())
        window.showNormal();
    window.raise();
    window.activateWindow();
}

void WindowRegistry::hide(DesignedWindow &window)
{
    window.hide();
}

} // namespace zyr
