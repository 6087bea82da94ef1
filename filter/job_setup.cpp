// The job's first page ties the two middle layers together: settings fill the job records,
// then the renderer gets them and writes the preamble. It lives here, above both.
#include "filter/rastoqevtspl.h"
#include "logging/vanta.h"
#include "render/tspl_render.h"
#include "settings/print_settings.h"

void InitPrintSetting(int page, ppd_file_t* ppd, cups_page_header2_t* header,
                      CTSPLRenderClass* renderer) {
  if (page != 1 || ppd == nullptr || header == nullptr) return;
  VLOG_DEBUG("Begin to initialize configures");
  InitalizeOemCfg(&gOemCfg, ppd, header);
  InitDevmode(&gDevMode, header);
  InitOemPDEV(&gOemPDev, header);
  VLOG_DEBUG("Initializing configures finish");
  if (renderer == nullptr) return;
  renderer->SetOemCfgPointer(&gOemCfg);
  renderer->SetDevModePointer(&gDevMode);
  renderer->SetOemPdevPointer(&gOemPDev);
  bool started = renderer->StartDocCMD();
  VLOG_DEBUG("Result of StartDocCMD is %d", started ? 1 : 0);
}
