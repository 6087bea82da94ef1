// Test support: spawns the filter with pipes on its standard streams, collects its output on
// reader threads and reaps it with a deadline.
#include "tests/support/filter_runner.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

extern char** environ;

namespace quorvel::test {
namespace {

void DrainInto(int fd, std::string* sink) {
  char buf[65536];
  for (;;) {
    ssize_t n = read(fd, buf, sizeof buf);
    if (n > 0)
      sink->append(buf, size_t(n));
    else if (n == 0 || errno != EINTR)
      break;
  }
  close(fd);
}

// The child's environment: ours, with PPD and the extra variables replaced.
std::vector<std::string> ChildEnv(const FilterRun& run) {
  std::map<std::string, std::string> vars;
  for (char** e = environ; e && *e; ++e) {
    const char* eq = strchr(*e, '=');
    if (eq) vars[std::string(static_cast<const char*>(*e), eq)] = eq + 1;
  }
  vars.erase("PPD");
  if (!run.unsetPpd) vars["PPD"] = run.ppd;
  for (const auto& [name, value] : run.env) vars[name] = value;
  std::vector<std::string> env;
  for (const auto& [name, value] : vars) env.push_back(name + "=" + value);
  return env;
}

}  // namespace

TempDir::TempDir() {
  std::string templ = (std::filesystem::temp_directory_path() / "quorvel::test-XXXXXX").string();
  std::vector<char> buf(templ.begin(), templ.end());
  buf.push_back('\0');
  if (mkdtemp(buf.data())) path_ = buf.data();
}

TempDir::~TempDir() {
  std::error_code ec;
  if (!path_.empty()) std::filesystem::remove_all(path_, ec);
}

std::string ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

bool WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f << bytes;
  f.close();
  return bool(f);
}

std::string FilterExe() { return QEV_FILTER_EXE; }

std::vector<std::string> JobArgs(const std::string& options, const std::string& file,
                                 const std::string& copies) {
  std::vector<std::string> args = {"1", "user", "title", copies, options};
  if (!file.empty()) args.push_back(file);
  return args;
}

FilterProcess::FilterProcess(const FilterRun& run) {
  signal(SIGPIPE, SIG_IGN);  // a filter that stops reading must not kill the test
  int in[2], out[2], err[2];
  if (pipe2(in, O_CLOEXEC) || pipe2(out, O_CLOEXEC) || pipe2(err, O_CLOEXEC)) return;

  std::vector<std::string> argStore = {run.exe.empty() ? FilterExe() : run.exe};
  argStore.insert(argStore.end(), run.args.begin(), run.args.end());
  std::vector<std::string> envStore = ChildEnv(run);
  std::vector<char*> argv, envp;
  for (std::string& a : argStore) argv.push_back(a.data());
  for (std::string& e : envStore) envp.push_back(e.data());
  argv.push_back(nullptr);
  envp.push_back(nullptr);

  pid_ = fork();
  if (pid_ == 0) {
    // Only async-signal-safe calls from here on. A group of its own lets a timeout kill
    // whatever the process started too.
    setpgid(0, 0);
    struct sigaction dfl {};
    dfl.sa_handler = SIG_DFL;
    sigaction(SIGPIPE, &dfl, nullptr);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    dup2(in[0], 0);
    dup2(out[1], 1);
    dup2(err[1], 2);
    execve(argv[0], argv.data(), envp.data());
    _exit(127);
  }
  for (int fd : {in[0], out[1], err[1]}) close(fd);
  if (pid_ < 0) {
    for (int fd : {in[1], out[0], err[0]}) close(fd);
    return;
  }
  inFd_ = in[1];
  outReader_ = std::thread(DrainInto, out[0], &out_);
  errReader_ = std::thread(DrainInto, err[0], &err_);
}

FilterProcess::~FilterProcess() {
  if (pid_ > 0 && !finished_) Finish(0);
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

bool FilterProcess::Signal(int sig) { return pid_ > 0 && !finished_ && kill(pid_, sig) == 0; }

RunResult FilterProcess::Finish(int timeoutMs) {
  RunResult result;
  result.pid = pid_;
  if (inFd_ >= 0) close(inFd_);
  inFd_ = -1;
  if (pid_ <= 0 || finished_) return result;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  int status = 0;
  for (;;) {
    pid_t r = waitpid(pid_, &status, WNOHANG);
    if (r == pid_ || (r < 0 && errno != EINTR)) break;
    if (std::chrono::steady_clock::now() > deadline) {
      result.timedOut = true;
      kill(-pid_, SIGKILL);
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
      break;
    }
    usleep(2000);
  }
  finished_ = true;
  if (outReader_.joinable()) outReader_.join();
  if (errReader_.joinable()) errReader_.join();
  result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.termSignal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  result.out = std::move(out_);
  // Page accounting lines go to their own field; err keeps the messages.
  for (size_t pos = 0; pos < err_.size();) {
    size_t end = err_.find('\n', pos);
    end = end == std::string::npos ? err_.size() : end + 1;
    std::string& into = err_.compare(pos, 6, "PAGE: ") == 0 ? result.pages : result.err;
    into.append(err_, pos, end - pos);
    pos = end;
  }
  return result;
}

RunResult RunFilter(const FilterRun& run) {
  FilterProcess proc(run);
  if (!proc.started()) return {};
  proc.Write(run.stdinData);
  return proc.Finish(run.timeoutMs);
}

}  // namespace quorvel::test
