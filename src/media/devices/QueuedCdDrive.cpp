#include "media/devices/QueuedCdDrive.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace zyr::media {

namespace {

MediaError letGo()
{
    return makeError(ErrorKind::DeviceUnavailable, QStringLiteral("The disc is no longer read."));
}

// Runs `call` on the drive's thread in `calls` and waits for what it returns.
template <typename T> Result<T> awaitResult(CdDriveCalls &calls, std::function<Result<T>()> call)
{
    // Held by the call too: an abandoned call still writes here when it finishes.
    auto result = std::make_shared<std::optional<Result<T>>>();
    if (!calls.await([call = std::move(call), result](CdDriveCalls &) { result->emplace(call()); }))
        return letGo();
    return std::move(**result);
}

} // namespace

class QueuedCdDrive::Reader : public CdDrive::SectorReader {
public:
    Reader(std::shared_ptr<SectorReader> reader, std::shared_ptr<CdDriveCalls> calls)
        : m_reader(std::move(reader)), m_calls(std::move(calls))
    {
    }

    ~Reader() override
    {
        // A read still running on the drive's thread uses the reader; it goes after it, there.
        m_calls->release([reader = std::move(m_reader)]() mutable { reader.reset(); });
    }

    Reader(const Reader &) = delete;
    Reader &operator=(const Reader &) = delete;

    Result<int> readSectors(std::int32_t firstSector, int count, std::int16_t *dst) override
    {
        if (count <= 0 || dst == nullptr)
            return makeError(ErrorKind::Internal, QStringLiteral("Nothing to read the disc into."));
        // The drive reads into a buffer of the call's own, which an abandoned call keeps.
        struct Read {
            std::vector<std::int16_t> samples;
            std::optional<Result<int>> got;
        };
        auto read = std::make_shared<Read>();
        read->samples.resize(std::size_t(count) * CdToc::kSamplesPerSector);
        const bool answered =
            m_calls->await([reader = m_reader, read, firstSector, count](CdDriveCalls &) {
                read->got.emplace(reader->readSectors(firstSector, count, read->samples.data()));
            });
        if (!answered)
            return letGo();
        if (read->got->ok()) {
            const int sectors = std::clamp(read->got->value(), 0, count);
            std::copy_n(read->samples.begin(), std::size_t(sectors) * CdToc::kSamplesPerSector,
                        dst);
        }
        return *read->got;
    }

private:
    std::shared_ptr<SectorReader> m_reader;
    const std::shared_ptr<CdDriveCalls> m_calls;
};

QueuedCdDrive::QueuedCdDrive(std::shared_ptr<CdDrive> drive, std::shared_ptr<CdDriveCalls> calls)
    : m_drive(std::move(drive)), m_calls(std::move(calls))
{
}

Result<CdToc> QueuedCdDrive::readToc()
{
    return awaitResult<CdToc>(*m_calls, [drive = m_drive] { return drive->readToc(); });
}

Result<std::unique_ptr<CdDrive::SectorReader>> QueuedCdDrive::openReader()
{
    using Opened = std::shared_ptr<SectorReader>;
    Result<Opened> opened = awaitResult<Opened>(*m_calls, [drive = m_drive]() -> Result<Opened> {
        Result<std::unique_ptr<SectorReader>> reader = drive->openReader();
        if (!reader.ok())
            return reader.error();
        return Opened(std::move(reader).value());
    });
    if (!opened.ok())
        return opened.error();
    return std::unique_ptr<SectorReader>(
        std::make_unique<Reader>(std::move(opened).value(), m_calls));
}

Result<void> QueuedCdDrive::openTray()
{
    return awaitResult<void>(*m_calls, [drive = m_drive] { return drive->openTray(); });
}

Result<void> QueuedCdDrive::closeTray()
{
    return awaitResult<void>(*m_calls, [drive = m_drive] { return drive->closeTray(); });
}

bool QueuedCdDrive::isBecomingReady()
{
    auto ready = std::make_shared<bool>(false);
    const bool answered = m_calls->await(
        [drive = m_drive, ready](CdDriveCalls &) { *ready = drive->isBecomingReady(); });
    return answered && *ready;
}

} // namespace zyr::media
