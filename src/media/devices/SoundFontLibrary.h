#pragma once
// The General MIDI SoundFont, loaded once per process off the UI thread and shared by every
// Sequencer device. The load runs on a thread of its own that startLoading() starts; the first
// Open that needs the SoundFont waits for it (the control shows the busy cursor meanwhile).
//
// FluidSynth has no call that loads a SoundFont on its own, so the library keeps one silent
// synthesizer that holds it; device synthesizers add that SoundFont to themselves and remove
// it before they go. The holding synthesizer lives until the process ends.
//
// Threads: every member may be called from any thread.

#include "media/core/Result.h"
#include "media/devices/FluidSynthHandles.h"

#include <QString>
#include <QStringList>

#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

namespace zyr::media {

class SoundFontLibrary {
public:
    static SoundFontLibrary &instance();
    ~SoundFontLibrary();

    // Starts loading in the background if nothing has been loaded or started yet.
    void startLoading();
    // Whether the load has finished, successfully or not.
    bool isSettled() const;
    // Waits for the load (starting it if needed) and returns the SoundFont, or why there is
    // none (DeviceUnavailable: no SoundFont found, or none could be loaded).
    Result<fluid_sfont_t *> soundFont();
    // The file the SoundFont came from, once loaded.
    QString path() const;

    // Where SoundFonts are looked for, in order: the system's default General MIDI SoundFont,
    // then the other .sf2 and .sf3 files of the usual folders.
    static QStringList candidates();
    // Replaces the candidates; only before the first load (tests without a SoundFont).
    void setCandidatesForTesting(QStringList files);

private:
    SoundFontLibrary() = default;
    void load();

    mutable std::mutex m_mutex;
    std::condition_variable m_settled;
    bool m_started = false;
    bool m_done = false;
    std::optional<QStringList> m_candidates;
    FluidSettingsPtr m_settings;
    FluidSynthPtr m_holder;
    fluid_sfont_t *m_soundFont = nullptr;
    QString m_path;
    MediaError m_error;
    std::thread m_loader;
};

} // namespace zyr::media
