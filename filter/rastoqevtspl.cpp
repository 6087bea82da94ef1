// The job entry: starts the trace, opens the inputs, runs the page loop and closes
// everything. Each page is rendered when the next header arrives or the stream ends.
#include "filter/rastoqevtspl.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "filter/page_format.h"
#include "filter/page_geometry.h"
#include "filter/records.h"
#include "logging/vanta.h"
#include "render/tspl_render.h"
#include "settings/print_settings.h"

volatile sig_atomic_t Canceled = 0;

void CancelJob(int) { Canceled = 1; }

void StartVanta() {
  const mode_t old = umask(022);
  remove("/tmp/qzzpl.log");
  quorvel::vanta::IVantaManager* log = quorvel::vanta::IVantaManager::getInstance();
  log->setLoggerPath(0, "/tmp");
  log->setLoggerName(0, "qztspl");
  log->start();
  umask(old);
}

namespace {

void InstallCancelHandler() {
  Canceled = 0;
  struct sigaction action {};
  action.sa_handler = CancelJob;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;
  sigaction(SIGTERM, &action, nullptr);
}

// The first page configures the job with its own header; its buffer may hold another depth
// than the header's (1-bit pages are read as 8-bit gray), so the records follow the buffer.
void ConfigureJob(ppd_file_t* ppd, cups_page_header2_t* header, CTSPLRenderClass* renderer) {
  InitPrintSetting(1, ppd, header, renderer);
  PageLayout layout;
  std::string reason;
  if (CheckPageHeader(*header, &layout, &reason)) SyncPageGeometry(GeometryOf(layout), 1);
}

}  // namespace

int RunFilter(int argc, char* argv[]) {
  setbuf(stderr, nullptr);
  StartVanta();
  int fd = 0;
  cups_raster_t* raster = nullptr;
  if (OpenPageStream(argc, &fd, argv, &raster) != 0) return 0;
  InstallCancelHandler();
  ppd_file_t* ppd = nullptr;
  if (OpenPpdFile(&ppd) != 0) {
    // Nothing is reported from here; the stream is closed only so that leak checkers
    // see a clean exit.
    cupsRasterClose(raster);
    if (fd != 0) close(fd);
    return 0;
  }
  InitializeSetting(argv[5], ppd);

  CTSPLRenderClass renderer;
  int pagesRead = 0;
  cups_page_header2_t header;
  while (cupsRasterReadHeader2(raster, &header) && !Canceled) {
    const int page = pagesRead + 1;
    StartPage(ppd, &header, page);
    if (page == 1) {
      ConfigureJob(ppd, &header, &renderer);
    } else {
      TransPrintData(pagesRead, &renderer, false);
    }
    GetPrintData(&header, raster, page);
    pagesRead = page;
    if (Canceled) break;
  }
  if (gOemPDev.pBufStart) TransPrintData(pagesRead, &renderer, true);
  CloseStreamFile(ppd, raster, fd, pagesRead);
  return 0;
}
