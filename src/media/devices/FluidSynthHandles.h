#pragma once
// Owning handles for FluidSynth objects.

#include <fluidsynth.h>

#include <memory>

namespace zyr::media {

struct FluidSettingsDeleter {
    void operator()(fluid_settings_t *s) const { delete_fluid_settings(s); }
};
struct FluidSynthDeleter {
    void operator()(fluid_synth_t *s) const { delete_fluid_synth(s); }
};

using FluidSettingsPtr = std::unique_ptr<fluid_settings_t, FluidSettingsDeleter>;
using FluidSynthPtr = std::unique_ptr<fluid_synth_t, FluidSynthDeleter>;

// Settings for a synthesizer that renders into the kit's own sink: no audio driver, no MIDI
// driver, one thread, no locking (only the device's worker calls it), at `sampleRate`.
FluidSettingsPtr makeFluidSettings(double sampleRate);

} // namespace zyr::media
