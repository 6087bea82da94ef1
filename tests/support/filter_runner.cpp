// Test support: spawns the filter with a pipe on its standard input and files for its output
// (which never block it, so no reader threads), and reaps it with a deadline.
#include "tests/support/filter_runner.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

extern char** environ;

namespace quorvel::test {

TempDir::TempDir() {
  std::string templ = (std::filesystem::temp_directory_path() / "quorvel-test-XXXXXX").string();
  if (mkdtemp(templ.data())) path_ = templ;
}

TempDir::~TempDir() {
  std::error_code ec;
  if (!path_.empty()) std::filesystem::remove_all(path_, ec);
}

std::string ReadFile(const std::string& path) {
  std::ostringstream s;
  s << std::ifstream(path, std::ios::binary).rdbuf();
  return s.str();
}

bool WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream f(path, std::ios::binary);
  return bool(f << bytes << std::flush);
}

std::vector<std::string> JobArgs(const std::string& options, const std::string& file,
                                 const std::string& copies) {
  std::vector<std::string> args = {"1", "user", "title", copies, options};
  if (!file.empty()) args.push_back(file);
  return args;
}

FilterProcess::FilterProcess(const FilterRun& run) {
  signal(SIGPIPE, SIG_IGN);  // a filter that stops reading must not kill the test
  std::vector<std::string> argStore = {run.exe.empty() ? FilterExe() : run.exe}, envStore;
  argStore.insert(argStore.end(), run.args.begin(), run.args.end());
  for (char** e = environ; *e; ++e) {
    const std::string var = *e, name = var.substr(0, var.find('='));
    if (name != "PPD" && !run.env.count(name)) envStore.push_back(var);
  }
  if (!run.unsetPpd) envStore.push_back("PPD=" + run.ppd);
  for (const auto& [name, value] : run.env) envStore.push_back(name + "=" + value);
  std::vector<char*> argv, envp;
  for (std::string& a : argStore) argv.push_back(a.data());
  for (std::string& e : envStore) envp.push_back(e.data());
  argv.push_back(nullptr);
  envp.push_back(nullptr);

  int in[2] = {-1, -1};
  const int flags = O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC;
  const int out = open(dir_.file("out").c_str(), flags, 0600);
  const int err = open(dir_.file("err").c_str(), flags, 0600);
  if (out >= 0 && err >= 0 && pipe2(in, O_CLOEXEC) == 0) pid_ = fork();
  if (pid_ == 0) {
    // Only async-signal-safe calls from here on. A group of its own lets a timeout kill
    // whatever the process started too.
    setpgid(0, 0);
    signal(SIGPIPE, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    dup2(in[0], 0);
    dup2(out, 1);
    dup2(err, 2);
    execve(argv[0], argv.data(), envp.data());
    _exit(127);
  }
  for (int fd : {in[0], out, err}) close(fd);
  if (pid_ > 0)
    inFd_ = in[1];
  else
    close(in[1]);
}

bool FilterProcess::Write(const std::string& bytes) {
  size_t done = 0;
  while (inFd_ >= 0 && done < bytes.size()) {
    ssize_t n = write(inFd_, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += size_t(n);
  }
  return inFd_ >= 0;
}

RunResult FilterProcess::Finish(int timeoutMs) {
  RunResult result;
  result.pid = pid_;
  if (inFd_ >= 0) close(inFd_);
  inFd_ = -1;
  if (!started() || finished_) return result;
  finished_ = true;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  int status = 0;
  pid_t reaped;
  while ((reaped = waitpid(pid_, &status, WNOHANG)) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      result.timedOut = true;
      kill(-pid_, SIGKILL);
      kill(pid_, SIGKILL);  // in case it has not made its own group yet
      reaped = waitpid(pid_, &status, 0);
      break;
    }
    usleep(2000);
  }
  if (reaped != pid_) return result;  // lost: no status to report
  result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.termSignal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  result.out = ReadFile(dir_.file("out"));
  // Page accounting lines go to their own field; err keeps the messages.
  const std::string err = ReadFile(dir_.file("err"));
  for (size_t pos = 0, end; pos < err.size(); pos = end) {
    end = std::min(err.find('\n', pos), err.size() - 1) + 1;
    (err.compare(pos, 6, "PAGE: ") == 0 ? result.pages : result.err).append(err, pos, end - pos);
  }
  return result;
}

RunResult RunFilter(const FilterRun& run) {
  FilterProcess proc(run);
  proc.Write(run.stdinData);
  return proc.Finish();
}

}  // namespace quorvel::test
