#pragma once
// Figures the kernel keeps about this process, for tests that bound what the kit reads or
// holds: bytes read from files so far, and resident memory.

#include <QtGlobal>

namespace zyr::test {

// Bytes this process has read through read() and its kin ("rchar" of /proc/self/io); -1 when
// it cannot be told.
qint64 bytesReadByProcess();

// Resident memory of this process in bytes ("VmRSS" of /proc/self/status); -1 when it cannot
// be told.
qint64 residentBytes();

} // namespace zyr::test
