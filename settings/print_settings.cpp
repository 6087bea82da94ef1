// Placeholder job configuration; replaced by the option readers and derivations.
#include "settings/print_settings.h"

#include "render/tspl_render.h"

void InitPrintSetting(int, ppd_file_t*, cups_page_header2_t*, CTSPLRenderClass*) {}
void InitalizeOemCfg(tagOEMCFG*, ppd_file_t*, cups_page_header2_t*) {}
void InitDevmode(_DEVMODE*, cups_page_header2_t*) {}
void InitOemPDEV(_OEMPDEV*, cups_page_header2_t*) {}
