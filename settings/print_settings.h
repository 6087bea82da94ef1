// Job configuration: fills the job records from the PPD and the first page header
// (InitPrintSetting in filter/ then hands them to the renderer).
#pragma once

#include <cups/ppd.h>
#include <cups/raster.h>

#include "job/records.h"

void InitalizeOemCfg(tagOEMCFG* cfg, ppd_file_t* ppd, cups_page_header2_t* header);
void InitDevmode(_DEVMODE* devmode, cups_page_header2_t* header);
void InitOemPDEV(_OEMPDEV* pdev, cups_page_header2_t* header);
