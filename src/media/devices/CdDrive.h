#pragma once
// A CD drive with a tray, and the disc in it: the table of contents, readers of audio sectors
// for playback, and the tray's motor. The CDAudio device owns one drive; its playback source
// holds a reader of its own, so that the worker reading sound never shares a handle with the
// calls the device makes.
//
// Threads. source() is quick and may be called anywhere. Every other member may block on the
// drive for seconds (spin-up, a tray moving, a disc being recognised) and belongs on a worker
// thread; an image answers at once. Members may be called from different threads at the same
// time: each call works on a handle of its own. A SectorReader belongs to one thread at a time.
//
// Errors, the same for every member that looks at the disc:
//   DeviceUnavailable "No CD drive."           there is no drive, or it cannot be opened
//   DeviceUnavailable "No disc in the drive."  the drive is empty or its tray is open
//   UnsupportedFormat "The disc has no audio tracks."
//   CorruptMedia                               a table of contents that cannot be read or that
//                                              contradicts itself (an image shorter than its
//                                              cue sheet says)
//   FileNotFound                               an image file that does not exist

#include "media/core/Result.h"
#include "media/devices/CdToc.h"

#include <QString>

#include <cstdint>
#include <memory>

namespace zyr::media {

class CdDrive {
public:
    // Reads the audio sectors of the disc that was in the drive when it was opened.
    class SectorReader {
    public:
        virtual ~SectorReader() = default;

        // Reads up to `count` (> 0) consecutive sectors from `firstSector` into `dst`, which has
        // room for count * CdToc::kSamplesPerSector samples: interleaved left/right 16-bit
        // samples in host byte order. Returns how many sectors from the front were read, at
        // least 1; when a later one fails, the caller asks again from there. Errors concern
        // `firstSector`:
        //   FileUnreadable     the drive could not read it after its own retries (worth
        //                      another try, and then playing silence instead)
        //   CorruptMedia       it lies past the data an image actually holds
        //   DeviceUnavailable  the disc has gone (tray opened, disc ejected)
        // Blocks on the drive; the thread that owns the reader.
        virtual Result<int> readSectors(std::int32_t firstSector, int count, std::int16_t *dst) = 0;
    };

    virtual ~CdDrive() = default;

    // The drive's device node or the image's path; empty for a default drive not found yet.
    // Any thread, no I/O.
    virtual QString source() const = 0;

    // Opens the disc and reads its table of contents. Worker thread; blocks.
    virtual Result<CdToc> readToc() = 0;

    // Opens the disc for reading audio sectors. The reader is independent of the drive object
    // and of other readers; close it before openTray(), as drives refuse to eject while a
    // handle is open. Worker thread (the playback's); blocks.
    virtual Result<std::unique_ptr<SectorReader>> openReader() = 0;

    // Opens and closes the tray. For an image the tray is a flag: while it is open, readToc(),
    // openReader() and the readers' reads fail with "No disc in the drive.". Worker thread;
    // blocks for seconds on a real drive.
    virtual Result<void> openTray() = 0;
    virtual Result<void> closeTray() = 0;

    // Whether readToc() is worth asking again in a moment after it found no disc: the drive is
    // still recognising the disc it has just been given (spinning it up after its tray closed),
    // or is ready by now. False for an empty drive, an open tray, or a drive that cannot tell.
    // Worker thread; asks the drive, which answers at once.
    virtual bool isBecomingReady() { return false; }
};

} // namespace zyr::media
