// Placeholder job preamble; replaced by the real StartDocCMD.
#include "render/tspl_render.h"

bool CTSPLRenderClass::StartDocCMD() { return false; }
