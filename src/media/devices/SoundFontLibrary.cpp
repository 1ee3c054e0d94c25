#include "media/devices/SoundFontLibrary.h"

#include "media/devices/LibraryMessages.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace zyr::media {

namespace {

// The system's General MIDI SoundFont (an alternatives link on Debian), then the folders where
// packages put SoundFonts.
const char *const kDefaultSoundFont = "/usr/share/sounds/sf2/default-GM.sf2";
const char *const kSoundFontFolders[] = {"/usr/share/sounds/sf2", "/usr/share/sounds/sf3",
                                         "/usr/share/soundfonts"};

} // namespace

FluidSettingsPtr makeFluidSettings(double sampleRate)
{
    FluidSettingsPtr settings(new_fluid_settings());
    if (!settings)
        return settings;
    fluid_settings_setnum(settings.get(), "synth.sample-rate", sampleRate);
    fluid_settings_setint(settings.get(), "synth.threadsafe-api", 0);
    fluid_settings_setint(settings.get(), "synth.cpu-cores", 1);
    fluid_settings_setint(settings.get(), "synth.dynamic-sample-loading", 0);
    return settings;
}

SoundFontLibrary &SoundFontLibrary::instance()
{
    quietMediaLibraries();
    static SoundFontLibrary library;
    return library;
}

SoundFontLibrary::~SoundFontLibrary()
{
    if (m_loader.joinable())
        m_loader.join();
}

QStringList SoundFontLibrary::candidates()
{
    QStringList files;
    if (QFileInfo(QLatin1String(kDefaultSoundFont)).isFile())
        files << QFileInfo(QLatin1String(kDefaultSoundFont)).canonicalFilePath();
    for (const char *folder : kSoundFontFolders) {
        const QFileInfoList found =
            QDir(QLatin1String(folder))
                .entryInfoList({QStringLiteral("*.sf2"), QStringLiteral("*.sf3")}, QDir::Files,
                               QDir::Name);
        for (const QFileInfo &f : found)
            if (!files.contains(f.canonicalFilePath()))
                files << f.canonicalFilePath();
    }
    return files;
}

void SoundFontLibrary::setCandidatesForTesting(QStringList files)
{
    std::lock_guard lock(m_mutex);
    if (!m_started)
        m_candidates = std::move(files);
}

void SoundFontLibrary::startLoading()
{
    std::lock_guard lock(m_mutex);
    if (m_started)
        return;
    m_started = true;
    m_loader = std::thread([this] { load(); });
}

bool SoundFontLibrary::isSettled() const
{
    std::lock_guard lock(m_mutex);
    return m_done;
}

Result<fluid_sfont_t *> SoundFontLibrary::soundFont()
{
    startLoading();
    std::unique_lock lock(m_mutex);
    m_settled.wait(lock, [this] { return m_done; });
    if (!m_soundFont)
        return m_error;
    return m_soundFont;
}

QString SoundFontLibrary::path() const
{
    std::lock_guard lock(m_mutex);
    return m_path;
}

// Runs on the loader thread.
void SoundFontLibrary::load()
{
    QStringList files;
    {
        std::lock_guard lock(m_mutex);
        files = m_candidates ? *m_candidates : candidates();
    }
    FluidSettingsPtr settings = makeFluidSettings(44100.0);
    FluidSynthPtr holder(settings ? new_fluid_synth(settings.get()) : nullptr);
    fluid_sfont_t *font = nullptr;
    QString loadedFrom;
    for (const QString &file : files) {
        if (!holder)
            break;
        const int id = fluid_synth_sfload(holder.get(), QFile::encodeName(file).constData(), 0);
        if (id != FLUID_FAILED) {
            font = fluid_synth_get_sfont_by_id(holder.get(), id);
            loadedFrom = file;
            break;
        }
    }

    std::lock_guard lock(m_mutex);
    m_settings = std::move(settings);
    m_holder = std::move(holder);
    m_soundFont = font;
    m_path = loadedFrom;
    if (!font)
        m_error =
            makeError(ErrorKind::DeviceUnavailable,
                      files.isEmpty() ? QStringLiteral("No General MIDI SoundFont is installed.")
                                      : QStringLiteral("No SoundFont could be loaded (tried %1).")
                                            .arg(files.join(QStringLiteral(", "))));
    m_done = true;
    m_settled.notify_all();
}

} // namespace zyr::media
