// Runs rastertoqevcp for a PAPPL job. The raster is spooled to a file first and the filter
// reads it as argv[6], as under CUPS; its output and messages go to files, so neither side
// can block the other on a full pipe, and a cancel only has to stop one child.
#include "app/filter_engine.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "app/drivers.h"
#include "app/job_options.h"

extern char** environ;

#ifndef QEV_APP_FILTER
#define QEV_APP_FILTER "/usr/lib/cups/filter/rastertoqevcp"
#endif
#ifndef QEV_APP_PPD_DIR
#define QEV_APP_PPD_DIR "/usr/share/ppd/qevcp"
#endif

namespace {

// One job's spool state between the raster callbacks.
struct EngineJob {
  std::string rasterPath;
  int rasterFd = -1;
  cups_raster_t* raster = nullptr;
  unsigned pages = 0;
  bool writeFailed = false;

  ~EngineJob() {
    if (raster) cupsRasterClose(raster);
    if (rasterFd >= 0) close(rasterFd);
    if (!rasterPath.empty()) unlink(rasterPath.c_str());
  }
};

std::string EnvOr(const char* name, const char* fallback) {
  const char* value = getenv(name);
  return value && *value ? value : fallback;
}

bool ReadWholeFile(int fd, std::string* out) {
  if (lseek(fd, 0, SEEK_SET) < 0) return false;
  char buf[65536];
  ssize_t n;
  while ((n = read(fd, buf, sizeof buf)) > 0) out->append(buf, size_t(n));
  return n == 0;
}

// Runs the filter on the spooled raster with the PPD and options; fills `result`.
void RunFilter(pappl_job_t* job, const std::string& raster, const std::string& ppd,
               const std::string& optionText, int copies, FilterResult* result) {
  std::string outPath = raster + ".tspl", errPath = raster + ".err";
  int outFd = open(outPath.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  int errFd = open(errPath.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  unlink(outPath.c_str());
  unlink(errPath.c_str());
  if (outFd < 0 || errFd < 0) {
    if (outFd >= 0) close(outFd);
    if (errFd >= 0) close(errFd);
    result->messages =
        "ERROR: Unable to create the filter's output files: " + std::string(strerror(errno)) + "\n";
    return;
  }
  std::string filter = FilterPath(), id = std::to_string(papplJobGetID(job));
  std::string user = papplJobGetUsername(job) ? papplJobGetUsername(job) : "unknown";
  std::string title = papplJobGetName(job) ? papplJobGetName(job) : "label";
  std::string copyText = std::to_string(copies);
  std::vector<char*> argv = {filter.data(),
                             id.data(),
                             user.data(),
                             title.data(),
                             copyText.data(),
                             const_cast<char*>(optionText.c_str()),
                             const_cast<char*>(raster.c_str()),
                             nullptr};
  std::vector<std::string> envText = {"PPD=" + ppd};
  for (char** e = environ; *e; e++)
    if (strncmp(*e, "PPD=", 4) != 0) envText.push_back(*e);
  std::vector<char*> envp;
  envp.reserve(envText.size() + 1);
  for (std::string& e : envText) envp.push_back(e.data());
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, outFd, 1);
  posix_spawn_file_actions_adddup2(&actions, errFd, 2);
  pid_t pid = 0;
  int rc = posix_spawn(&pid, filter.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) {
    result->messages = "ERROR: Unable to run " + filter + ": " + strerror(rc) + "\n";
  } else {
    result->started = true;
    result->exitStatus = WaitForChild(job, pid, &result->canceled);
    ReadWholeFile(outFd, &result->tspl);
    ReadWholeFile(errFd, &result->messages);
  }
  close(outFd);
  close(errFd);
}

// Every line of the filter's standard error goes to the job log, errors as errors.
void LogMessages(pappl_job_t* job, const std::string& messages) {
  size_t start = 0;
  while (start < messages.size()) {
    size_t end = messages.find('\n', start);
    if (end == std::string::npos) end = messages.size();
    std::string line = messages.substr(start, end - start);
    if (!line.empty())
      papplLogJob(job,
                  line.compare(0, 7, "ERROR: ") == 0 ? PAPPL_LOGLEVEL_ERROR : PAPPL_LOGLEVEL_INFO,
                  "rastertoqevcp: %s", line.c_str());
    start = end + 1;
  }
}

bool WriteToDevice(pappl_device_t* device, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    size_t chunk = std::min<size_t>(bytes.size() - done, 65536);
    ssize_t n = papplDeviceWrite(device, bytes.data() + done, chunk);
    if (n <= 0) return false;
    done += size_t(n);
  }
  papplDeviceFlush(device);
  return true;
}

// Whether the TSPL holds a PRINT command: a preamble alone prints nothing.
bool PrintsALabel(const std::string& tspl) {
  return tspl.compare(0, 6, "PRINT ") == 0 || tspl.find("\nPRINT ") != std::string::npos;
}

std::string AttrText(ipp_attribute_t* attr) {
  char text[1024];
  ippAttributeString(attr, text, sizeof text);
  return text;
}

// The IPP side of the job: job attributes first, then the printer's defaults.
JobSettings GatherSettings(pappl_job_t* job, pappl_pr_options_t* options) {
  JobSettings s;
  pappl_printer_t* printer = papplJobGetPrinter(job);
  pappl_pr_driver_data_t data;
  papplPrinterGetDriverData(printer, &data);
  ipp_t* defaults = papplPrinterGetDriverAttributes(printer);
  for (const VendorOption& v : VendorOptions()) {
    ipp_attribute_t* attr = papplJobGetAttribute(job, v.ipp);
    if (!attr)
      attr = ippFindAttribute(defaults, (std::string(v.ipp) + "-default").c_str(), IPP_TAG_ZERO);
    if (attr) s.vendor[v.ipp] = AttrText(attr);
  }
  ipp_attribute_t* darkness = papplJobGetAttribute(job, "print-darkness");
  s.darknessAdjusted = darkness != nullptr || data.darkness_default != 0;
  s.darkness = darkness ? ippGetInteger(darkness, 0) : data.darkness_default;
  s.darknessConfigured = data.darkness_configured;
  s.speed = options->print_speed;
  s.tearOffset = data.tear_offset_configured;
  s.tracking = TrackingKeyword(options->media.tracking);
  s.labelMode = LabelModeKeyword(data.mode_configured);
  if (ipp_attribute_t* c = papplJobGetAttribute(job, "print-content-optimize"))
    s.contentOptimize = AttrText(c);
  ippDelete(defaults);
  return s;
}

}  // namespace

int WaitForChild(pappl_job_t* job, pid_t pid, bool* canceled) {
  int status = 0;
  bool signalled = false;
  for (;;) {
    pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) break;
    if (done < 0 && errno != EINTR) return -1;
    if (!signalled && papplJobIsCanceled(job)) {
      kill(pid, SIGTERM);
      signalled = *canceled = true;
    }
    usleep(20000);
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string FilterPath() { return EnvOr("QEVCP_FILTER", QEV_APP_FILTER); }
std::string PpdDirectory() { return EnvOr("QEVCP_PPD_DIR", QEV_APP_PPD_DIR); }

std::string LastFilterError(const std::string& messages) {
  size_t at = messages.rfind("ERROR: ");
  if (at == std::string::npos) return "";
  size_t end = messages.find('\n', at);
  return messages.substr(at + 7, end == std::string::npos ? std::string::npos : end - at - 7);
}

bool EngineStartJob(pappl_job_t* job, pappl_pr_options_t*, pappl_device_t*) {
  auto run = std::make_unique<EngineJob>();
  char path[1024];
  run->rasterFd = papplJobOpenFile(job, path, sizeof path, nullptr, "ras", "w");
  if (run->rasterFd < 0) {
    papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "Unable to create the raster spool file: %s",
                strerror(errno));
    return false;
  }
  run->rasterPath = path;
  run->raster = cupsRasterOpen(run->rasterFd, CUPS_RASTER_WRITE);
  if (!run->raster) return false;
  papplJobSetData(job, run.release());
  return true;
}

bool EngineStartPage(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t*, unsigned) {
  auto* run = static_cast<EngineJob*>(papplJobGetData(job));
  if (!run || !run->raster) return false;
  cups_page_header2_t header = options->header;
  // PAPPL hands a raster page over once however many copies the job asks for; the printer
  // repeats the label itself, as under CUPS, from the header's copy count. A PWG header may
  // carry 0 there (CUPS's raster from a PDF does), which would print no label at all.
  const char* format = papplJobGetFormat(job);
  bool raster = format && (!strcmp(format, "image/pwg-raster") || !strcmp(format, "image/urf") ||
                           !strcmp(format, "application/pdf"));
  if (raster && header.NumCopies <= 1 && options->copies > 1)
    header.NumCopies = unsigned(options->copies);
  if (header.NumCopies == 0) header.NumCopies = 1;
  run->pages++;
  if (!cupsRasterWriteHeader2(run->raster, &header)) run->writeFailed = true;
  return !run->writeFailed;
}

bool EngineWriteLine(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t*, unsigned,
                     const unsigned char* line) {
  auto* run = static_cast<EngineJob*>(papplJobGetData(job));
  if (!run || !run->raster || run->writeFailed) return false;
  unsigned bytes = options->header.cupsBytesPerLine;
  if (cupsRasterWritePixels(run->raster, const_cast<unsigned char*>(line), bytes) != bytes)
    run->writeFailed = true;
  return !run->writeFailed;
}

bool EngineEndPage(pappl_job_t* job, pappl_pr_options_t*, pappl_device_t*, unsigned) {
  auto* run = static_cast<EngineJob*>(papplJobGetData(job));
  return run && !run->writeFailed;
}

bool EngineEndJob(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device) {
  std::unique_ptr<EngineJob> run(static_cast<EngineJob*>(papplJobGetData(job)));
  papplJobSetData(job, nullptr);
  if (!run) return false;
  cupsRasterClose(run->raster);
  run->raster = nullptr;
  close(run->rasterFd);
  run->rasterFd = -1;
  if (run->writeFailed) {
    papplJobSetMessage(job, "Unable to spool the raster: %s", strerror(errno));
    return false;
  }
  if (papplJobIsCanceled(job) || run->pages == 0) return true;

  const DriverInfo* driver = FindDriver(papplPrinterGetDriverName(papplJobGetPrinter(job)));
  std::string error;
  const PpdModel* model =
      driver ? LoadPpdModel(PpdDirectory() + "/" + driver->ppd, &error) : nullptr;
  if (!model) {
    papplJobSetMessage(job, "No PPD for this printer: %s", error.c_str());
    papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "No PPD for this printer: %s", error.c_str());
    return false;
  }
  std::string optionText = BuildFilterOptions(GatherSettings(job, options), *model);
  papplLogJob(job, PAPPL_LOGLEVEL_INFO, "Running %s with PPD %s and options \"%s\"",
              FilterPath().c_str(), model->path.c_str(), optionText.c_str());

  FilterResult result;
  RunFilter(job, run->rasterPath, model->path, optionText, options->copies, &result);
  LogMessages(job, result.messages);
  papplLogJob(job, PAPPL_LOGLEVEL_INFO, "rastertoqevcp exit status %d, %lu bytes of TSPL",
              result.exitStatus, static_cast<unsigned long>(result.tspl.size()));
  if (result.canceled) return true;
  // A filter that failed, or printed no label for the pages it was given, fails the job.
  if (result.exitStatus != 0 || !PrintsALabel(result.tspl)) {
    std::string message = LastFilterError(result.messages);
    if (message.empty())
      message = result.exitStatus != 0
                    ? "rastertoqevcp failed with exit status " + std::to_string(result.exitStatus)
                    : "rastertoqevcp printed no label";
    papplJobSetMessage(job, "%s", message.c_str());
    return false;
  }
  if (!WriteToDevice(device, result.tspl)) {
    papplJobSetMessage(job, "Unable to send the label to the printer.");
    return false;
  }
  return true;
}

bool EnginePrintRaw(pappl_job_t* job, pappl_pr_options_t*, pappl_device_t* device) {
  int fd = open(papplJobGetFilename(job), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  std::string bytes;
  bool ok = ReadWholeFile(fd, &bytes) && WriteToDevice(device, bytes);
  close(fd);
  return ok;
}
