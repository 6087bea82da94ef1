// Placeholder page pipeline; replaced by the real TransCommand.
#include "render/tspl_render.h"

bool CTSPLRenderClass::TransCommand(bool) { return m_pOemPDev && m_pOemPDev->pBufStart; }
