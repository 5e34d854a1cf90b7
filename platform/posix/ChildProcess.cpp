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
#include <utility>
#include <vector>

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

  // Each inherited handle keeps its number in the child: park it on a spare number first,
  // then move it back, since dup2 onto itself would not clear close-on-exec.
  std::vector<std::pair<int, int>> moves;
  for (NativeHandle h : options.inherit)
    moves.emplace_back(static_cast<int>(h), static_cast<int>(h));
  if (options.standardOutput != kNoHandle)
    moves.emplace_back(static_cast<int>(options.standardOutput), 1);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  for (std::size_t i = 0; i < moves.size(); ++i)
    posix_spawn_file_actions_adddup2(&actions, moves[i].first, 900 + static_cast<int>(i));
  for (std::size_t i = 0; i < moves.size(); ++i)
    posix_spawn_file_actions_adddup2(&actions, 900 + static_cast<int>(i), moves[i].second);
  for (std::size_t i = 0; i < moves.size(); ++i)
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
  process_ = kNoHandle;  // the process ID is all there is to hold here
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
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return;
  ends_[0] = fds[0];
  ends_[1] = fds[1];
}

Pipe::~Pipe() {
  CloseRead();
  CloseWrite();
}

void Pipe::CloseRead() {
  if (ends_[0] >= 0) close(static_cast<int>(ends_[0]));
  ends_[0] = kNoHandle;
}

void Pipe::CloseWrite() {
  if (ends_[1] >= 0) close(static_cast<int>(ends_[1]));
  ends_[1] = kNoHandle;
}

bool Pipe::ReadLine(std::string& line, int timeoutMs) {
  line.clear();
  if (ends_[0] < 0) return false;
  const int fd = static_cast<int>(ends_[0]);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                    deadline - std::chrono::steady_clock::now())
                    .count();
    if (left <= 0) return false;
    pollfd p{fd, POLLIN, 0};
    int r = poll(&p, 1, static_cast<int>(left));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return false;
    char c;
    ssize_t n = read(fd, &c, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    if (c == '\n') return true;
    line += c;
  }
}

bool WriteFully(NativeHandle handle, std::string_view data) {
  const int fd = static_cast<int>(handle);
  std::size_t done = 0;
  while (done < data.size()) {
    ssize_t n = write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

bool WriteAndCloseHandle(NativeHandle handle, const std::string& text) {
  bool ok = WriteFully(handle, text);
  close(static_cast<int>(handle));
  return ok;
}

void WaitForEither(NativeHandle first, NativeHandle second) {
  for (;;) {
    pollfd p[2] = {{static_cast<int>(first), POLLIN, 0}, {static_cast<int>(second), POLLIN, 0}};
    int r = poll(p, 2, -1);
    if (r > 0 || (r < 0 && errno != EINTR)) return;
  }
}

bool HandleIsOpen(NativeHandle handle) {
  return handle >= 0 && handle <= 0x7fffffff && fcntl(static_cast<int>(handle), F_GETFD) != -1;
}

}  // namespace dz
