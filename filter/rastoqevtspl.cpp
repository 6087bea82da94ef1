// The job entry: starts the trace, opens the inputs, runs the page loop and closes
// everything. Each page is rendered when the next header arrives or the stream ends.
#include "filter/rastoqevtspl.h"

#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/owned.h"
#include "filter/page_format.h"
#include "job/page_geometry.h"
#include "job/records.h"
#include "logging/vanta.h"
#include "logging/vanta_file.h"
#include "render/tspl_render.h"

volatile sig_atomic_t Canceled = 0;

void CancelJob(int) { Canceled = 1; }

namespace {

enum class TraceMode { kDurable, kFast, kOff };

// cupsd hands QEVCP_TRACE to every filter through a SetEnv line in cups-files.conf.
TraceMode TraceModeFromEnvironment() {
  const char* value = getenv("QEVCP_TRACE");
  if (value == nullptr || *value == '\0' || strcasecmp(value, "durable") == 0) {
    return TraceMode::kDurable;
  }
  if (strcasecmp(value, "fast") == 0) return TraceMode::kFast;
  if (strcasecmp(value, "off") == 0) return TraceMode::kOff;
  fprintf(stderr,
          "WARNING: QEVCP_TRACE=%.64s is not durable, fast or off; the trace stays durable\n",
          value);
  return TraceMode::kDurable;
}

}  // namespace

void StartVanta() {
  const TraceMode mode = TraceModeFromEnvironment();
  // Without a started manager every log statement is dropped before it is even formatted.
  if (mode == TraceMode::kOff) return;
  const mode_t old = umask(022);
  quorvel::vanta::boundSharedFile("/tmp/qztspl.log", kTraceLimitBytes);
  quorvel::vanta::IVantaManager* log = quorvel::vanta::IVantaManager::getInstance();
  log->setLoggerPath(0, "/tmp");
  log->setLoggerName(0, "qztspl");
  quorvel::vanta::setDurableClose(mode == TraceMode::kDurable);
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
  cups_raster_t* rawRaster = nullptr;
  if (OpenPageStream(argc, &fd, argv, &rawRaster) != 0) return 1;
  RasterPtr raster(rawRaster);
  InstallCancelHandler();
  ppd_file_t* rawPpd = nullptr;
  if (OpenPpdFile(&rawPpd) != 0) {
    // The stream is closed only so that leak checkers see a clean exit.
    if (fd != 0) close(fd);
    return 1;
  }
  PpdPtr ppd(rawPpd);
  InitializeSetting(argv[5], ppd.get());

  CTSPLRenderClass renderer;
  int pagesRead = 0;
  int pagesSkipped = 0;
  cups_page_header2_t header;
  while (cupsRasterReadHeader2(raster.get(), &header) && !Canceled) {
    const int page = pagesRead + 1;
    StartPage(ppd.get(), &header, page);
    if (page == 1) {
      ConfigureJob(ppd.get(), &header, &renderer);
    } else {
      TransPrintData(pagesRead, &renderer, false);
    }
    GetPrintData(&header, raster.get(), page);
    if (!gOemPDev.pBufStart) ++pagesSkipped;  // its ERROR line is already written
    pagesRead = page;
    if (Canceled) break;
  }
  if (gOemPDev.pBufStart) TransPrintData(pagesRead, &renderer, true);
  CloseStreamFile(ppd.release(), raster.release(), fd, pagesRead);
  if (Canceled || renderer.LabelsPrinted() > 0) return 0;
  if (pagesRead > pagesSkipped) fputs("ERROR: No label was printed.\n", stderr);
  return 1;
}
