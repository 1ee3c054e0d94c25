#pragma once
// The first "Open" in a process runs code of FFmpeg that nothing has run before: every
// demuxer's test of a file's first bytes, the codecs' one-time set-up. Paging that code in and
// running the set-up takes the UI thread several milliseconds (more than the rest of "Open"),
// once. A background thread does it instead, started when a player that opens files through
// FFmpeg is made, while the user picks a file.

namespace zyr::media {

// Starts the warm-up once per process; later calls return at once. The thread ends on its own
// within milliseconds and is joined at exit. Any thread.
void startWarmingFfmpeg();

} // namespace zyr::media
