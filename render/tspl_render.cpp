// Placeholder renderer; the emitters, preamble and page pipeline replace it.
#include "render/tspl_render.h"

CTSPLRenderClass::CTSPLRenderClass()
    : m_pOemCfg(nullptr), m_pDevMode(nullptr), m_pOemPDev(nullptr) {}
CTSPLRenderClass::~CTSPLRenderClass() {}
void CTSPLRenderClass::SetOemCfgPointer(tagOEMCFG* cfg) { m_pOemCfg = cfg; }
void CTSPLRenderClass::SetDevModePointer(_DEVMODE* devmode) { m_pDevMode = devmode; }
void CTSPLRenderClass::SetOemPdevPointer(_OEMPDEV* pdev) { m_pOemPDev = pdev; }
