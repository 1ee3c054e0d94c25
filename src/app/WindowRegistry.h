#pragma once
// The window registry: one slot per window class, empty at start. Get window fills a slot on
// first use (creating the window from its design and running its load handler once) and from
// then on returns the same instance until the program ends; nothing removes a window earlier.
// Creating a window does not show it. UI thread only.

#include "app/WindowClass.h"

#include <array>
#include <functional>
#include <memory>

namespace zyr {

class DesignedWindow;
class WindowRegistry;

// Makes the window of one class; the registry passes itself so the window can navigate.
using WindowFactory = std::function<std::unique_ptr<DesignedWindow>(WindowRegistry &)>;

class WindowRegistry {
public:
    // One factory per window class, indexed by the class.
    using Factories = std::array<WindowFactory, std::size(kAllWindowClasses)>;

    explicit WindowRegistry(Factories factories);
    ~WindowRegistry();

    WindowRegistry(const WindowRegistry &) = delete;
    WindowRegistry &operator=(const WindowRegistry &) = delete;

    // Returns the class's window, creating it and running its load handler on first use.
    DesignedWindow &get(WindowClass windowClass);

    // Whether the class's slot is filled.
    bool exists(WindowClass windowClass) const;

    // Makes the window visible as an ordinary modeless top-level window with no owner.
    static void show(DesignedWindow &window);

    // Makes the window invisible without destroying it.
    static void hide(DesignedWindow &window);

private:
    Factories m_factories;
    std::array<std::unique_ptr<DesignedWindow>, std::size(kAllWindowClasses)> m_slots;
};

} // namespace zyr
