// Job configuration: fills the job records from the PPD and the first page header and has
// the renderer write the job preamble.
#pragma once

#include <cups/ppd.h>
#include <cups/raster.h>

#include "filter/records.h"

class CTSPLRenderClass;

// Configures the job on its first page (page number 1) and writes the preamble.
void InitPrintSetting(int page, ppd_file_t* ppd, cups_page_header2_t* header,
                      CTSPLRenderClass* renderer);
void InitalizeOemCfg(tagOEMCFG* cfg, ppd_file_t* ppd, cups_page_header2_t* header);
void InitDevmode(_DEVMODE* devmode, cups_page_header2_t* header);
void InitOemPDEV(_OEMPDEV* pdev, cups_page_header2_t* header);
