// Test support: runs the built filter executable as CUPS would (arguments, PPD variable, raster
// on standard input) and collects its output streams and exit status.
#pragma once

#include <signal.h>
#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

namespace quorvel::test {

// A private temporary directory, removed with its contents when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

std::string ReadFile(const std::string& path);  // whole file, empty if unreadable
bool WriteFile(const std::string& path, const std::string& bytes);

inline std::string FilterExe() { return QEV_FILTER_EXE; }  // the filter built with the tests

// argv[1..5] of a CUPS job ("1", "user", "title", copies, options), plus argv[6] if any.
std::vector<std::string> JobArgs(const std::string& options = "", const std::string& file = "",
                                 const std::string& copies = "1");

struct RunResult {
  int pid = -1;         // the filter's process id (= thread id of its trace records)
  int exitStatus = -1;  // the status passed to exit(), or -1 when killed by a signal
  int termSignal = 0;   // the signal that ended it, or 0
  bool timedOut = false;
  std::string out;    // standard output (the TSPL stream)
  std::string err;    // standard error without the "PAGE: " lines
  std::string pages;  // the "PAGE: page copies" lines, in order
};

struct FilterRun {
  std::string exe;                // empty: FilterExe()
  std::vector<std::string> args;  // argv[1..]
  std::string ppd;                // value of PPD; unset when `unsetPpd`
  bool unsetPpd = false;
  std::string stdinData;                   // written to standard input, which is then closed
  std::map<std::string, std::string> env;  // extra environment variables
};

// A started filter whose output goes to files, so a test may feed it, signal it, read its
// trace meanwhile, and collect everything at Finish.
class FilterProcess {
 public:
  explicit FilterProcess(const FilterRun& run);  // run.stdinData unused
  ~FilterProcess() { Finish(0); }                // kills and reaps the process if still running
  FilterProcess(const FilterProcess&) = delete;
  FilterProcess& operator=(const FilterProcess&) = delete;

  bool started() const { return pid_ > 0; }
  pid_t pid() const { return pid_; }
  bool Write(const std::string& bytes);  // false when the filter closed its input
  bool Signal(int sig) { return started() && !finished_ && kill(pid_, sig) == 0; }
  // Closes standard input and waits, killing the process group after `timeoutMs`.
  RunResult Finish(int timeoutMs = 60000);

 private:
  TempDir dir_;
  pid_t pid_ = -1;
  int inFd_ = -1;
  bool finished_ = false;
};

// Starts, feeds run.stdinData, waits (at most a minute).
RunResult RunFilter(const FilterRun& run);

}  // namespace quorvel::test
