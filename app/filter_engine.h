// The print path of every driver: PAPPL's raster pages are written as a CUPS raster
// stream, handed to rastertoqevcp with the model's PPD, and its TSPL goes to the device.
#pragma once

#include <pappl/pappl.h>
#include <sys/types.h>

#include <string>

// Where the filter and the PPD files are: the installed places unless QEVCP_FILTER or
// QEVCP_PPD_DIR name others (tests run the build tree's).
std::string FilterPath();
std::string PpdDirectory();

// What one run of the filter left: its exit status, TSPL bytes and standard error.
struct FilterResult {
  bool started = false;
  int exitStatus = -1;  // -1 when killed by a signal or never run
  bool canceled = false;
  std::string tspl;
  std::string messages;
};

// Waits for a child process of the job, stopping it with SIGTERM if the job is canceled
// meanwhile; its exit status, or -1 when it was killed or could not be waited for.
int WaitForChild(pappl_job_t* job, pid_t pid, bool* canceled);

// The text of the last "ERROR: " message in the filter's standard error, or empty.
std::string LastFilterError(const std::string& messages);

// PAPPL raster callbacks (see pappl_pr_driver_data_t).
bool EngineStartJob(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device);
bool EngineStartPage(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device,
                     unsigned page);
bool EngineWriteLine(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device,
                     unsigned y, const unsigned char* line);
bool EngineEndPage(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device,
                   unsigned page);
bool EngineEndJob(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device);
// Raw TSPL jobs (application/vnd.tspl) go to the device unchanged.
bool EnginePrintRaw(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device);
