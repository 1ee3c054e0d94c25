#pragma once
// Owners for the libcdio and libcdio-paranoia handles behind LibcdioDrive. Each handle sits in a
// std::unique_ptr whose deleter calls the matching libcdio function, so an early return on any
// error path releases what was opened before it.
//
// Order matters when they are kept together: a paranoia handle reads through its cdda drive and
// the cdda drive through its CdIo_t, so declare them in that order (CdIo first) and they are
// released paranoia first.
//
// Thread context: none of these types synchronise; a handle belongs to whichever thread owns the
// object that holds it.

#include <cdio/cdio.h>
#include <cdio/memory.h>
#include <cdio/mmc.h>
#include <cdio/paranoia/cdda.h>
#include <cdio/paranoia/paranoia.h>

#include <memory>

namespace zyr::media {

// A drive or image opened with cdio_open().
struct CdIoDeleter {
    void operator()(CdIo_t *cdio) const { cdio_destroy(cdio); }
};
using CdIoPtr = std::unique_ptr<CdIo_t, CdIoDeleter>;

// A paranoia drive from cdio_cddap_identify_cdio(). It only borrows its CdIo_t, which keeps its
// own owner: the deleter leaves it open.
struct CddaDriveDeleter {
    void operator()(cdrom_drive_t *drive) const { cdio_cddap_close_no_free_cdio(drive); }
};
using CddaDrivePtr = std::unique_ptr<cdrom_drive_t, CddaDriveDeleter>;

struct ParanoiaDeleter {
    void operator()(cdrom_paranoia_t *paranoia) const { cdio_paranoia_free(paranoia); }
};
using ParanoiaPtr = std::unique_ptr<cdrom_paranoia_t, ParanoiaDeleter>;

// Strings libcdio allocates for its caller, such as cdio_get_default_device_driver()'s.
struct CdioStringDeleter {
    void operator()(char *text) const { cdio_free(text); }
};
using CdioStringPtr = std::unique_ptr<char, CdioStringDeleter>;

// The sense data of a drive's last command, from mmc_last_cmd_sense().
struct CdioSenseDeleter {
    void operator()(cdio_mmc_request_sense_t *sense) const { cdio_free(sense); }
};
using CdioSensePtr = std::unique_ptr<cdio_mmc_request_sense_t, CdioSenseDeleter>;

} // namespace zyr::media
