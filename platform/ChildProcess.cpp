#include "platform/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

extern char** environ;

namespace dz {

namespace {

int DecodeStatus(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

}  // namespace

ChildProcess::~ChildProcess() {
  Kill();
}

bool ChildProcess::Start(const std::string& program, const std::vector<std::string>& args,
                         const Options& options, std::string* error) {
  if (!reaped_) {
    if (error) *error = "a process is already running";
    return false;
  }
  std::vector<std::string> env;
  for (char** e = environ; e && *e; ++e) {
    std::string entry = *e;
    std::string name = entry.substr(0, entry.find('='));
    bool replaced = false;
    for (const auto& o : options.environment)
      if (o.substr(0, o.find('=')) == name) replaced = true;
    if (!replaced) env.push_back(entry);
  }
  for (const auto& o : options.environment) env.push_back(o);

  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  std::vector<char*> envp;
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  // Park every handed descriptor on a spare number first, so that one mapping cannot
  // overwrite the source of another; dup2 also clears close-on-exec on the target.
  for (std::size_t i = 0; i < options.descriptors.size(); ++i)
    posix_spawn_file_actions_adddup2(&actions, options.descriptors[i].first,
                                     900 + static_cast<int>(i));
  for (std::size_t i = 0; i < options.descriptors.size(); ++i)
    posix_spawn_file_actions_adddup2(&actions, 900 + static_cast<int>(i),
                                     options.descriptors[i].second);
  for (std::size_t i = 0; i < options.descriptors.size(); ++i)
    posix_spawn_file_actions_addclose(&actions, 900 + static_cast<int>(i));
  if (options.quiet) {
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  }
  pid_t pid = -1;
  int r = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (r != 0) {
    if (error) *error = program + ": " + std::strerror(r);
    return false;
  }
  pid_ = pid;
  reaped_ = false;
  exitCode_ = -1;
  return true;
}

bool ChildProcess::Running() {
  if (reaped_) return false;
  int status = 0;
  pid_t r = waitpid(pid_, &status, WNOHANG);
  if (r == pid_) {
    reaped_ = true;
    exitCode_ = DecodeStatus(status);
    return false;
  }
  return r == 0;
}

void ChildProcess::Terminate() {
  if (!reaped_) kill(pid_, SIGTERM);
}

bool ChildProcess::Wait(int timeoutMs) {
  if (reaped_) return true;
  auto start = std::chrono::steady_clock::now();
  int pauseMs = 1;
  for (;;) {
    if (!Running()) return true;
    if (timeoutMs >= 0) {
      auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                         std::chrono::steady_clock::now() - start)
                         .count();
      if (elapsed >= timeoutMs) return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
    if (pauseMs < 20) pauseMs *= 2;
  }
}

void ChildProcess::Kill() {
  if (reaped_) return;
  kill(pid_, SIGKILL);
  int status = 0;
  while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
  reaped_ = true;
  exitCode_ = DecodeStatus(status);
}

Pipe::Pipe() {
  if (pipe2(fds_, O_CLOEXEC) != 0) fds_[0] = fds_[1] = -1;
}

Pipe::~Pipe() {
  CloseRead();
  CloseWrite();
}

void Pipe::CloseRead() {
  if (fds_[0] >= 0) close(fds_[0]);
  fds_[0] = -1;
}

void Pipe::CloseWrite() {
  if (fds_[1] >= 0) close(fds_[1]);
  fds_[1] = -1;
}

bool Pipe::ReadLine(std::string& line, int timeoutMs) {
  line.clear();
  if (fds_[0] < 0) return false;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    deadline - std::chrono::steady_clock::now())
                    .count();
    if (left <= 0) return false;
    pollfd p{fds_[0], POLLIN, 0};
    int r = poll(&p, 1, static_cast<int>(left));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return false;
    char c;
    ssize_t n = read(fds_[0], &c, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    if (c == '\n') return true;
    line += c;
  }
}

bool WriteFully(int fd, std::string_view data) {
  std::size_t done = 0;
  while (done < data.size()) {
    ssize_t n = write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

bool WriteAndCloseDescriptor(int fd, const std::string& text) {
  bool ok = WriteFully(fd, text);
  close(fd);
  return ok;
}

void WaitForEither(int fd1, int fd2) {
  for (;;) {
    pollfd p[2] = {{fd1, POLLIN, 0}, {fd2, POLLIN, 0}};
    int r = poll(p, 2, -1);
    if (r > 0 || (r < 0 && errno != EINTR)) return;
  }
}

bool DescriptorIsOpen(int fd) {
  return fd >= 0 && fcntl(fd, F_GETFD) != -1;
}

}  // namespace dz
