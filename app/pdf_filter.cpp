// The PDF filter: `gs -sDEVICE=pgmraw` at the job's raster size, its pages read back and
// handed row by row to the engine's raster callbacks.
#include "app/pdf_filter.h"

#include <fcntl.h>
#include <spawn.h>
#include <unistd.h>

#include <cctype>
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

// Renders `pdf` into `pgm` at the header's resolution and size; "" or the error text.
std::string RenderPdf(pappl_job_t* job, const cups_page_header2_t& header, const char* pdf,
                      const std::string& pgm) {
  std::string gs = EnvOr("QEVCP_GS", "gs");
  std::string res =
      "-r" + std::to_string(header.HWResolution[0]) + "x" + std::to_string(header.HWResolution[1]);
  std::string size =
      "-g" + std::to_string(header.cupsWidth) + "x" + std::to_string(header.cupsHeight);
  std::string out = "-sOutputFile=" + pgm;
  std::vector<const char*> args = {
      gs.c_str(),        "-q",        "-dSAFER",    "-dBATCH",      "-dNOPAUSE",
      "-sDEVICE=pgmraw", res.c_str(), size.c_str(), "-dFIXEDMEDIA", "-dPDFFitPage",
      out.c_str(),       "-f",        pdf,          nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
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

// The next number of a PGM header, skipping white space and "#" comments.
bool ReadPgmNumber(FILE* fp, unsigned* value) {
  int c = fgetc(fp);
  for (;; c = fgetc(fp)) {
    if (c == '#')
      while (c != '\n' && c != EOF) c = fgetc(fp);
    if (c == EOF || !isspace(c)) break;
  }
  unsigned long number = 0;
  int digits = 0;
  for (; c != EOF && isdigit(c) && digits < 9; c = fgetc(fp), digits++)
    number = number * 10 + unsigned(c - '0');
  *value = unsigned(number);
  return digits > 0 && c != EOF && isspace(c);  // one white space ends the header
}

// Reads one "P5 width height 255" page header; false at the end or on anything else.
bool ReadPgmHeader(FILE* fp, unsigned* width, unsigned* height) {
  unsigned maxval = 0;
  int c = fgetc(fp);
  while (c != EOF && isspace(c)) c = fgetc(fp);
  return c == 'P' && fgetc(fp) == '5' && ReadPgmNumber(fp, width) && ReadPgmNumber(fp, height) &&
         ReadPgmNumber(fp, &maxval) && maxval == 255;
}

// Sends the rendered pages through the raster callbacks; "" or the error text.
std::string PrintPages(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device,
                       const pappl_pr_driver_data_t& driver, FILE* fp) {
  const cups_page_header2_t& header = options->header;
  if (header.cupsBitsPerPixel != 8) return "Unsupported raster type for PDF pages.";
  if (!driver.rstartjob_cb(job, options, device)) return "Unable to start the job.";
  std::vector<unsigned char> row(header.cupsBytesPerLine);
  unsigned width = 0, height = 0, page = 0;
  std::string error;
  while (error.empty() && !papplJobIsCanceled(job) && ReadPgmHeader(fp, &width, &height)) {
    if (width != header.cupsWidth || height != header.cupsHeight) {
      error = "ghostscript rendered a page of the wrong size.";
      break;
    }
    if (!driver.rstartpage_cb(job, options, device, page)) error = "Unable to start a page.";
    for (unsigned y = 0; error.empty() && y < height; y++)
      if (fread(row.data(), 1, row.size(), fp) != row.size() ||
          !driver.rwriteline_cb(job, options, device, y, row.data()))
        error = "Unable to read a rendered page.";
    if (error.empty() && !driver.rendpage_cb(job, options, device, page))
      error = "Unable to finish a page.";
    if (error.empty()) papplJobSetImpressionsCompleted(job, 1);
    page++;
  }
  // The end-of-job callback runs the filter and releases the spool in every case.
  bool ended = driver.rendjob_cb(job, options, device);
  if (error.empty() && page == 0 && !papplJobIsCanceled(job)) error = "The PDF has no pages.";
  if (error.empty() && !ended) error = "-";  // the engine has set the job's message
  return error;
}

bool PdfFilter(pappl_job_t* job, pappl_device_t* device, void*) {
  pappl_printer_t* printer = papplJobGetPrinter(job);
  pappl_pr_driver_data_t driver;
  papplPrinterGetDriverData(printer, &driver);
  pappl_pr_options_t* options = papplJobCreatePrintOptions(job, INT_MAX, false);
  if (!options) return false;
  char pgm[1024];
  int fd = papplJobOpenFile(job, pgm, sizeof pgm, nullptr, "pgm", "w");
  std::string error = fd < 0 ? std::string("Unable to create a spool file: ") + strerror(errno)
                             : RenderPdf(job, options->header, papplJobGetFilename(job), pgm);
  if (fd >= 0) close(fd);
  if (error.empty() && !papplJobIsCanceled(job)) {
    std::unique_ptr<FILE, int (*)(FILE*)> fp(fopen(pgm, "rb"), fclose);
    error = fp ? PrintPages(job, options, device, driver, fp.get())
               : std::string("Unable to read the rendered pages: ") + strerror(errno);
  }
  if (fd >= 0) unlink(pgm);
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
