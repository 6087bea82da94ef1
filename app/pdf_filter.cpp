// The PDF filter: `gs -sDEVICE=pwgraster` at the job's raster size and colour space, its
// pages read back and handed row by row to the engine's raster callbacks.
#include "app/pdf_filter.h"

#include <fcntl.h>
#include <spawn.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/filter_engine.h"

extern char** environ;

namespace {

std::string EnvOr(const char* name, const char* fallback) {
  const char* value = getenv(name);
  return value && *value ? value : fallback;
}

// Renders `pdf` into the PWG raster file `out` with the header's resolution, size and
// colour space; "" or the error text.
std::string RenderPdf(pappl_job_t* job, const cups_page_header2_t& header, const char* pdf,
                      const std::string& out) {
  std::string gs = EnvOr("QEVCP_GS", "gs");
  std::string res =
      "-r" + std::to_string(header.HWResolution[0]) + "x" + std::to_string(header.HWResolution[1]);
  std::string size =
      "-g" + std::to_string(header.cupsWidth) + "x" + std::to_string(header.cupsHeight);
  std::string space = "-dcupsColorSpace=" + std::to_string(header.cupsColorSpace);
  std::string bits = "-dcupsBitsPerColor=" + std::to_string(header.cupsBitsPerColor);
  std::string output = "-sOutputFile=" + out;
  std::vector<const char*> args = {gs.c_str(),     "-q",           "-dSAFER",
                                   "-dBATCH",      "-dNOPAUSE",    "-sDEVICE=pwgraster",
                                   res.c_str(),    size.c_str(),   space.c_str(),
                                   bits.c_str(),   "-dFIXEDMEDIA", "-dPDFFitPage",
                                   output.c_str(), "-f",           pdf,
                                   nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  int rc =
      posix_spawnp(&pid, gs.c_str(), &actions, nullptr, const_cast<char**>(args.data()), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return "Unable to run " + gs + ": " + strerror(rc);
  bool canceled = false;
  int status = WaitForChild(job, pid, &canceled);
  if (canceled) return "";
  return status == 0
             ? ""
             : "ghostscript could not render the PDF (exit status " + std::to_string(status) + ")";
}

// Sends the rendered pages through the raster callbacks; "" or the error text.
std::string PrintPages(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device,
                       const pappl_pr_driver_data_t& driver, cups_raster_t* raster) {
  const cups_page_header2_t& want = options->header;
  if (!driver.rstartjob_cb(job, options, device)) return "Unable to start the job.";
  std::vector<unsigned char> row(want.cupsBytesPerLine);
  cups_page_header2_t page;
  unsigned number = 0;
  std::string error;
  while (error.empty() && !papplJobIsCanceled(job) && cupsRasterReadHeader2(raster, &page)) {
    if (page.cupsWidth != want.cupsWidth || page.cupsHeight != want.cupsHeight ||
        page.cupsBytesPerLine != want.cupsBytesPerLine) {
      error = "ghostscript rendered a page of the wrong size.";
      break;
    }
    if (!driver.rstartpage_cb(job, options, device, number)) error = "Unable to start a page.";
    for (unsigned y = 0; error.empty() && y < page.cupsHeight; y++)
      if (cupsRasterReadPixels(raster, row.data(), unsigned(row.size())) != row.size() ||
          !driver.rwriteline_cb(job, options, device, y, row.data()))
        error = "Unable to read a rendered page.";
    if (error.empty() && !driver.rendpage_cb(job, options, device, number))
      error = "Unable to finish a page.";
    if (error.empty()) papplJobSetImpressionsCompleted(job, 1);
    number++;
  }
  // The end-of-job callback runs the filter and releases the spool in every case.
  bool ended = driver.rendjob_cb(job, options, device);
  if (error.empty() && number == 0 && !papplJobIsCanceled(job)) error = "The PDF has no pages.";
  if (error.empty() && !ended) error = "-";  // the engine has set the job's message
  return error;
}

bool PdfFilter(pappl_job_t* job, pappl_device_t* device, void*) {
  pappl_printer_t* printer = papplJobGetPrinter(job);
  pappl_pr_driver_data_t driver;
  papplPrinterGetDriverData(printer, &driver);
  pappl_pr_options_t* options = papplJobCreatePrintOptions(job, INT_MAX, false);
  if (!options) return false;
  char path[1024];
  int fd = papplJobOpenFile(job, path, sizeof path, nullptr, "pwg", "w");
  std::string error = fd < 0 ? std::string("Unable to create a spool file: ") + strerror(errno)
                             : RenderPdf(job, options->header, papplJobGetFilename(job), path);
  if (fd >= 0) close(fd);
  if (error.empty() && !papplJobIsCanceled(job)) {
    int in = open(path, O_RDONLY | O_CLOEXEC);
    cups_raster_t* raster = in < 0 ? nullptr : cupsRasterOpen(in, CUPS_RASTER_READ);
    error = raster ? PrintPages(job, options, device, driver, raster)
                   : std::string("Unable to read the rendered pages: ") + strerror(errno);
    if (raster) cupsRasterClose(raster);
    if (in >= 0) close(in);
  }
  if (fd >= 0) unlink(path);
  papplJobDeletePrintOptions(options);
  if (error.empty()) return true;
  if (error != "-") {
    papplJobSetMessage(job, "%s", error.c_str());
    papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "%s", error.c_str());
  }
  return false;
}

}  // namespace

void AddPdfFilter(pappl_system_t* system) {
  papplSystemAddMIMEFilter(system, "application/pdf", "image/pwg-raster", PdfFilter, nullptr);
}
