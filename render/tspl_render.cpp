// CTSPLRenderClass construction, the record setters and the one write path that every TSPL
// command emitter shares, so all commands reach standard output the same way.
#include "render/tspl_render.h"

#include <cstdio>
#include <cstring>

CTSPLRenderClass::CTSPLRenderClass()
    : m_pOemCfg(nullptr), m_pDevMode(nullptr), m_pOemPDev(nullptr) {}

CTSPLRenderClass::~CTSPLRenderClass() {}

void CTSPLRenderClass::SetOemCfgPointer(tagOEMCFG* cfg) { m_pOemCfg = cfg; }

void CTSPLRenderClass::SetDevModePointer(_DEVMODE* devmode) { m_pDevMode = devmode; }

void CTSPLRenderClass::SetOemPdevPointer(_OEMPDEV* pdev) { m_pOemPDev = pdev; }

bool CTSPLRenderClass::WriteCommand(const char* text) {
  if (m_pOemCfg == nullptr || text == nullptr) return false;
  // No flush: the page output interleaves raw bitmap bytes on the same stream.
  return fwrite(text, 1, strlen(text), stdout) != 0;
}
