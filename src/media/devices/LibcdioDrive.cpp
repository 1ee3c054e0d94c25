#include "media/devices/LibcdioDrive.h"

#include "media/devices/LibcdioHandles.h"

#include <cdio/mmc.h>
#include <cdio/mmc_hl_cmds.h>
#include <cdio/mmc_ll_cmds.h>

#include <QByteArrayList>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>
#include <QtEndian>

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

namespace zyr::media {

struct LibcdioDrive::ImageTray {
    std::atomic<bool> open{false};
};

struct LibcdioDrive::OpenedDisc {
    CdIoPtr cdio;
    CdToc toc;
    std::int32_t leadOut = 0;
    std::string binPath; // the image's data file; empty for a drive
};

namespace {

#ifdef Q_OS_LINUX
// Nodes of a drive libcdio does not report as the default device: on Linux it lists only
// drives that can read a table of contents, so an empty drive or an open tray goes unlisted.
constexpr const char *kLinuxDriveNodes[] = {"/dev/cdrom", "/dev/sr0"};
#endif

MediaError noDrive()
{
    return makeError(ErrorKind::DeviceUnavailable, QStringLiteral("No CD drive."));
}

MediaError noDisc()
{
    return makeError(ErrorKind::DeviceUnavailable, QStringLiteral("No disc in the drive."));
}

MediaError unreadableToc()
{
    return makeError(ErrorKind::CorruptMedia,
                     QStringLiteral("The disc's table of contents cannot be read."));
}

MediaError invalidToc()
{
    return makeError(ErrorKind::CorruptMedia,
                     QStringLiteral("The disc's table of contents is not valid."));
}

MediaError imageTooShort()
{
    return makeError(ErrorKind::CorruptMedia,
                     QStringLiteral("The disc image is shorter than its cue sheet says."));
}

MediaError unreadableSector(std::int32_t sector)
{
    return makeError(ErrorKind::FileUnreadable,
                     QStringLiteral("Sector %1 of the disc cannot be read.").arg(sector));
}

QString quoted(const QString &path)
{
    return QStringLiteral("\"%1\"").arg(QFileInfo(path).fileName());
}

// Paranoia reports what it does through a callback without a context pointer; each reader
// reads on one thread at a time, so a per-thread count of give-ups is enough to tell whether
// the sector just returned was verified.
thread_local int t_paranoiaSkips = 0;

void noteParanoiaEvent(long /*wordPosition*/, paranoia_cb_mode_t mode)
{
    if (mode == PARANOIA_CB_SKIP)
        ++t_paranoiaSkips;
}

// Reads and checks the table of contents of an open disc or image; `leadOutSector` receives
// where the last track ends.
Result<CdToc> readTocOf(CdIo_t *p, bool image, std::int32_t &leadOutSector)
{
    const track_t first = cdio_get_first_track_num(p);
    const track_t count = cdio_get_num_tracks(p);
    if (first == CDIO_INVALID_TRACK || count == CDIO_INVALID_TRACK || count == 0) {
        // A drive without a disc has no table of contents to give; an image always has one.
        return image ? unreadableToc() : noDisc();
    }
    const lsn_t leadOut = cdio_get_track_lsn(p, CDIO_CDROM_LEADOUT_TRACK);
    if (leadOut == CDIO_INVALID_LSN)
        return unreadableToc();

    CdToc toc;
    leadOutSector = leadOut;
    for (int i = 0; i < count; ++i) {
        const auto number = static_cast<track_t>(first + i);
        const lsn_t start = cdio_get_track_lsn(p, number);
        const track_format_t format = cdio_get_track_format(p, number);
        if (start == CDIO_INVALID_LSN || format == TRACK_FORMAT_ERROR)
            return unreadableToc();
        toc.tracks.push_back({number, start, 0, format == TRACK_FORMAT_AUDIO});
    }
    std::vector<CdTrack> &tracks = toc.tracks;
    for (std::size_t i = 0; i < tracks.size(); ++i) {
        const std::int32_t end = i + 1 < tracks.size() ? tracks[i + 1].firstSector : leadOut;
        if (image && tracks[i].firstSector >= leadOut)
            return imageTooShort(); // libcdio measures the lead-out by the bin's size
        if (tracks[i].firstSector < 0 || end <= tracks[i].firstSector)
            return invalidToc();
        tracks[i].sectorCount = end - tracks[i].firstSector;
    }

    // An Enhanced CD: the audio session ends kSessionGapSectors before the data session starts.
    lsn_t lastSession = 0;
    if (!image && cdio_get_last_session(p, &lastSession) == DRIVER_OP_SUCCESS && lastSession > 0) {
        for (std::size_t i = 0; i + 1 < tracks.size(); ++i) {
            if (tracks[i].audio && !tracks[i + 1].audio &&
                tracks[i + 1].firstSector >= lastSession &&
                tracks[i].sectorCount > LibcdioDrive::kSessionGapSectors) {
                tracks[i].sectorCount -= LibcdioDrive::kSessionGapSectors;
            }
        }
    }

    if (!toc.hasAudio()) {
        return makeError(ErrorKind::UnsupportedFormat,
                         QStringLiteral("The disc has no audio tracks."));
    }
    return toc;
}

// Whether `cuePath` lists tracks from track 1 on. libcdio mishandles other cue sheets: for one
// without tracks it writes before its track table and leaks the sheet's file name; for one whose
// first track is numbered 69 or more it reads far outside its tables and crashes. A disc's first
// track is track 1, and every program that writes cue sheets numbers them so.
bool listsTracksFromOne(const QString &cuePath)
{
    // Far more than the 99 tracks of a CD take; anything larger is not a cue sheet.
    constexpr qint64 kMaxCueSheetBytes = 1 << 20;
    QFile cue(cuePath);
    if (!cue.open(QIODevice::ReadOnly) || cue.size() > kMaxCueSheetBytes)
        return false;
    while (!cue.atEnd()) {
        const QByteArrayList words = cue.readLine().simplified().split(' ');
        if (words.first() == "TRACK")
            return words.size() > 1 && words[1].toInt() == 1;
    }
    return false;
}

// Opens a cue/bin image: the cue sheet given, or the one beside the bin given.
Result<CdIoPtr> openImage(const QString &path)
{
    if (path.isEmpty())
        return makeError(ErrorKind::FileNotFound, QStringLiteral("No disc image was given."));
    const QFileInfo info(path);
    if (!info.isFile()) {
        return makeError(ErrorKind::FileNotFound,
                         QStringLiteral("The disc image %1 does not exist.").arg(quoted(path)));
    }
    // libcdio pairs disc.cue with disc.bin (either case of extension), whichever it is given.
    const QString base = info.path() + QLatin1Char('/') + info.completeBaseName();
    const bool isBin = info.suffix().compare(QLatin1String("bin"), Qt::CaseInsensitive) == 0;
    const QString lower = base + (isBin ? QStringLiteral(".cue") : QStringLiteral(".bin"));
    const QString upper = base + (isBin ? QStringLiteral(".CUE") : QStringLiteral(".BIN"));
    const QString other = QFileInfo::exists(lower) ? lower : upper;
    if (!QFileInfo::exists(other)) {
        return makeError(ErrorKind::FileNotFound,
                         QStringLiteral("The disc image %1 has no %2 beside it.")
                             .arg(quoted(path), quoted(lower)));
    }
    if (!listsTracksFromOne(isBin ? other : path))
        return unreadableToc();
    CdIoPtr cdio(cdio_open(QFile::encodeName(path).constData(), DRIVER_BINCUE));
    if (!cdio)
        return unreadableToc(); // libcdio does not take the cue sheet
    return cdio;
}

} // namespace

// One open disc or image, read through paranoia or directly. The owner's thread only.
class LibcdioDrive::Reader : public CdDrive::SectorReader {
public:
    Reader(OpenedDisc disc, std::shared_ptr<ImageTray> tray)
        : m_cdio(std::move(disc.cdio)), m_tray(std::move(tray)), m_leadOut(disc.leadOut),
          m_binPath(std::move(disc.binPath))
    {
    }

    // Puts paranoia in charge of reading; without it the reader reads directly.
    Result<void> startParanoia()
    {
        const auto failed = [] {
            return makeError(ErrorKind::FileUnreadable,
                             QStringLiteral("The disc cannot be read as audio."));
        };
        CddaDrivePtr cdda(cdio_cddap_identify_cdio(m_cdio.get(), CDDA_MESSAGE_FORGETIT, nullptr));
        if (!cdda)
            return failed();
        // A bin holds little-endian samples. Left unknown, paranoia would work the byte order
        // out by reading and analysing sectors of the disc; for an image it is known.
        if (!m_binPath.empty())
            cdda->bigendianp = 0;
        if (cdio_cddap_open(cdda.get()) != 0)
            return failed();
        ParanoiaPtr paranoia(cdio_paranoia_init(cdda.get()));
        if (!paranoia)
            return failed();
        // Full checking, but a sector that stays unverifiable is given up on instead of being
        // retried for ever; readVerified() reports it.
        cdio_paranoia_modeset(paranoia.get(), PARANOIA_MODE_FULL ^ PARANOIA_MODE_NEVERSKIP);
        m_cdda = std::move(cdda);
        m_paranoia = std::move(paranoia);
        m_nextSector = -1;
        return {};
    }

    Result<int> readSectors(std::int32_t firstSector, int count, std::int16_t *dst) override
    {
        if (count <= 0 || dst == nullptr)
            return makeError(ErrorKind::Internal, QStringLiteral("Nothing to read the disc into."));
        if (m_tray && m_tray->open.load(std::memory_order_acquire))
            return noDisc();
        const std::int32_t end = dataEnd();
        if (firstSector < 0 || firstSector >= end) {
            if (!m_binPath.empty() && firstSector >= 0 && firstSector < m_leadOut)
                return imageTooShort(); // the bin has been cut short since it was opened
            return makeError(ErrorKind::CorruptMedia,
                             QStringLiteral("Sector %1 is not on the disc.").arg(firstSector));
        }
        count = std::min(count, end - firstSector);
        return m_paranoia ? readVerified(firstSector, count, dst)
                          : readDirect(firstSector, count, dst);
    }

private:
    // The end of what can be read: the lead-out, and for an image the bin as it is now.
    std::int32_t dataEnd() const
    {
        if (m_binPath.empty())
            return m_leadOut;
        std::error_code error;
        const std::uintmax_t bytes = std::filesystem::file_size(m_binPath, error);
        if (error)
            return 0;
        const auto sectors = static_cast<std::int64_t>(bytes / CdToc::kBytesPerSector);
        return static_cast<std::int32_t>(std::min<std::int64_t>(m_leadOut, sectors));
    }

    Result<int> readVerified(std::int32_t firstSector, int count, std::int16_t *dst)
    {
        if (firstSector != m_nextSector) {
            if (cdio_paranoia_seek(m_paranoia.get(), firstSector, SEEK_SET) == -1) {
                m_nextSector = -1;
                return makeError(ErrorKind::CorruptMedia,
                                 QStringLiteral("Sector %1 is not on the disc.").arg(firstSector));
            }
            m_nextSector = firstSector;
        }
        for (int i = 0; i < count; ++i) {
            t_paranoiaSkips = 0;
            errno = 0;
            const std::int16_t *samples = cdio_paranoia_read_limited(
                m_paranoia.get(), &noteParanoiaEvent, LibcdioDrive::kParanoiaRetries);
            if (samples == nullptr) {
                // Paranoia gives up without data only when the disc has gone or the drive
                // cannot be read at all.
                m_nextSector = -1;
                if (i > 0)
                    return i;
#ifdef ENOMEDIUM
                if (errno == ENOMEDIUM)
                    return noDisc();
#endif
                return unreadableSector(firstSector);
            }
            ++m_nextSector;
            if (t_paranoiaSkips > 0) {
                // Paranoia ran out of retries and made this sector up from whatever it had.
                // Start afresh when the sector is asked for again.
                m_nextSector = -1;
                if (i > 0)
                    return i;
                return unreadableSector(firstSector);
            }
            std::memcpy(dst + std::ptrdiff_t(i) * CdToc::kSamplesPerSector, samples,
                        CdToc::kBytesPerSector);
        }
        return count;
    }

    Result<int> readDirect(std::int32_t firstSector, int count, std::int16_t *dst)
    {
        if (cdio_read_audio_sectors(m_cdio.get(), dst, firstSector, std::uint32_t(count)) !=
            DRIVER_OP_SUCCESS) {
            return unreadableSector(firstSector);
        }
        if constexpr (QSysInfo::ByteOrder == QSysInfo::BigEndian) {
            const std::size_t samples = std::size_t(count) * CdToc::kSamplesPerSector;
            for (std::size_t i = 0; i < samples; ++i)
                dst[i] = qFromLittleEndian(dst[i]);
        }
        return count;
    }

    // Released in reverse order: paranoia, its cdda drive, then the CdIo_t they read through.
    CdIoPtr m_cdio;
    CddaDrivePtr m_cdda;
    ParanoiaPtr m_paranoia;
    const std::shared_ptr<ImageTray> m_tray;
    const std::int32_t m_leadOut;
    const std::string m_binPath;
    std::int32_t m_nextSector = -1; // where paranoia's cursor stands; -1 when unknown
};

LibcdioDrive::LibcdioDrive() : m_isImage(false), m_method(ReadMethod::Automatic) {}

LibcdioDrive::LibcdioDrive(Node node)
    : m_isImage(false), m_node(std::move(node.path)), m_method(ReadMethod::Automatic)
{
}

LibcdioDrive::LibcdioDrive(QString imagePath, ReadMethod method)
    : m_isImage(true), m_imagePath(std::move(imagePath)), m_method(method),
      m_tray(std::make_shared<ImageTray>())
{
}

LibcdioDrive::~LibcdioDrive() = default;

QString LibcdioDrive::source() const
{
    if (m_isImage)
        return m_imagePath;
    std::lock_guard lock(m_mutex);
    return m_lastDevice;
}

Result<QString> LibcdioDrive::findDevice() const
{
    QString device = m_node;
    driver_id_t driver = DRIVER_DEVICE;
    if (device.isEmpty()) {
        if (const CdioStringPtr name(cdio_get_default_device_driver(&driver)); name)
            device = QFile::decodeName(name.get());
    }
#ifdef Q_OS_LINUX
    for (const char *node : kLinuxDriveNodes) {
        if (device.isEmpty() && QFileInfo::exists(QString::fromLatin1(node)))
            device = QString::fromLatin1(node);
    }
#endif
    if (device.isEmpty())
        return noDrive();
    std::lock_guard lock(m_mutex);
    m_lastDevice = device;
    return device;
}

Result<LibcdioDrive::OpenedDisc> LibcdioDrive::openDisc() const
{
    CdIoPtr cdio;
    if (m_isImage) {
        if (m_tray->open.load(std::memory_order_acquire))
            return noDisc();
        Result<CdIoPtr> image = openImage(m_imagePath);
        if (!image.ok())
            return image.error();
        cdio = std::move(image).value();
    } else {
        const Result<QString> device = findDevice();
        if (!device.ok())
            return device.error();
        cdio.reset(cdio_open(QFile::encodeName(device.value()).constData(), DRIVER_DEVICE));
        if (!cdio)
            return noDrive();
    }
    OpenedDisc disc;
    Result<CdToc> toc = readTocOf(cdio.get(), m_isImage, disc.leadOut);
    if (!toc.ok())
        return toc.error();
    disc.toc = std::move(toc).value();
    if (m_isImage) {
        if (const char *bin = cdio_get_arg(cdio.get(), "source"))
            disc.binPath = bin;
    }
    disc.cdio = std::move(cdio);
    return disc;
}

Result<CdToc> LibcdioDrive::readToc()
{
    Result<OpenedDisc> disc = openDisc();
    if (!disc.ok())
        return disc.error();
    return std::move(disc).value().toc;
}

Result<std::unique_ptr<CdDrive::SectorReader>> LibcdioDrive::openReader()
{
    Result<OpenedDisc> disc = openDisc();
    if (!disc.ok())
        return disc.error();
    auto reader = std::make_unique<Reader>(std::move(disc).value(), m_tray);
    if (m_method != ReadMethod::Direct) {
        const Result<void> verified = reader->startParanoia();
        // Automatic on an image: an image's data is exact, so reading it directly loses nothing.
        if (!verified.ok() && (m_method == ReadMethod::Paranoia || !m_isImage))
            return verified.error();
    }
    return std::unique_ptr<SectorReader>(std::move(reader));
}

Result<void> LibcdioDrive::openTray()
{
    if (m_isImage) {
        m_tray->open.store(true, std::memory_order_release);
        return {};
    }
    const Result<QString> device = findDevice();
    if (!device.ok())
        return device.error();
    const QByteArray node = QFile::encodeName(device.value());
    CdIoPtr cdio(cdio_open(node.constData(), DRIVER_DEVICE));
    if (!cdio)
        return noDrive();
    // Linux's eject closes a tray that is already open, so leave an open tray alone.
    if (mmc_get_tray_status(cdio.get()) == 1)
        return {};
    CdIo_t *handle = cdio.release();
    const driver_return_code_t ejected = cdio_eject_media(&handle);
    cdio.reset(handle); // libcdio frees the handle, and clears it, when it has ejected
    if (ejected == DRIVER_OP_SUCCESS)
        return {};
    // Some drives refuse the operating system's eject while empty; ask the drive itself.
    if (!cdio)
        cdio.reset(cdio_open(node.constData(), DRIVER_DEVICE));
    if (cdio && mmc_eject_media(cdio.get()) == DRIVER_OP_SUCCESS)
        return {};
    return makeError(ErrorKind::DeviceUnavailable,
                     QStringLiteral("The drive's tray cannot be opened."));
}

Result<void> LibcdioDrive::closeTray()
{
    if (m_isImage) {
        m_tray->open.store(false, std::memory_order_release);
        return {};
    }
    const Result<QString> device = findDevice();
    if (!device.ok())
        return device.error();
    const QByteArray node = QFile::encodeName(device.value());
    driver_id_t driver = DRIVER_DEVICE;
    if (cdio_close_tray(node.constData(), &driver) == DRIVER_OP_SUCCESS)
        return {};
    return makeError(ErrorKind::DeviceUnavailable,
                     QStringLiteral("The drive's tray cannot be closed."));
}

bool LibcdioDrive::isBecomingReady()
{
    if (m_isImage)
        return false;
    const Result<QString> device = findDevice();
    if (!device.ok())
        return false;
    const CdIoPtr cdio(cdio_open(QFile::encodeName(device.value()).constData(), DRIVER_DEVICE));
    if (!cdio)
        return false;
    if (mmc_test_unit_ready(cdio.get(), 0) == DRIVER_OP_SUCCESS)
        return true; // ready by now: its table of contents is worth asking for again
    // NOT READY with "logical unit not ready" (ASC 04h) is a drive still at work on a disc:
    // becoming ready, spinning up. "Medium not present" (ASC 3Ah), and anything else, is not.
    constexpr std::uint8_t kLogicalUnitNotReady = 0x04;
    cdio_mmc_request_sense_t *raw = nullptr;
    const int bytes = mmc_last_cmd_sense(cdio.get(), &raw);
    const CdioSensePtr sense(raw);
    return sense && bytes > int(offsetof(cdio_mmc_request_sense_t, asc)) &&
           sense->sense_key == CDIO_MMC_SENSE_KEY_NOT_READY && sense->asc == kLogicalUnitNotReady;
}

} // namespace zyr::media
