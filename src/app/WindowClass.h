#pragma once

#include <QString>

namespace zyr {

// The six window classes of the kit; each has at most one instance, held by the registry.
enum class WindowClass {
    MainMenu,   // frmkivo, the start-up window
    AviViewer,  // frmPlayavi
    CdPlayer,   // frmCD
    WavPlayer,  // frmMyWav
    MidiPlayer, // frmMidi
    About       // frmAbout
};

inline constexpr WindowClass kAllWindowClasses[] = {WindowClass::MainMenu,   WindowClass::AviViewer,
                                                    WindowClass::CdPlayer,   WindowClass::WavPlayer,
                                                    WindowClass::MidiPlayer, WindowClass::About};

// The design name of the class's window.
QString designName(WindowClass windowClass);

} // namespace zyr
