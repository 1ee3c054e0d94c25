#pragma once

#include "app/WindowRegistry.h"

namespace zyr {

// The factories of the kit's six windows, for the window registry.
WindowRegistry::Factories kitWindowFactories();

} // namespace zyr
