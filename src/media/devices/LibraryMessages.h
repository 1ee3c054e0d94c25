#pragma once
// The media libraries print diagnostics of their own on standard error: FFmpeg's demuxers and
// decoders ("Format avi detected only with low score of 1, misdetection possible!"), SDL and
// the ALSA library beneath it, FluidSynth and libcdio. The kit logs nothing: what matters reaches the user through the
// control's Error, and the rest is dropped.

namespace zyr::media {

// Turns every media library's messages off, once per process; later calls return at once. Call
// it before the first call into any of them: every device does on construction, and so does
// each piece that reaches a library without a device. Any thread.
void quietMediaLibraries();

} // namespace zyr::media
