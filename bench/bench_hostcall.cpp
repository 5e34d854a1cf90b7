// One host call ("DBPATH" against a running hostsim: connect, request, reply, farewell,
// close) against a raw socket round trip that moves the same bytes, written with nothing
// but the socket calls, both timed in this run. The raw side is this program started
// again as a minimal server, so that both servers are separate processes.
//
//   bench_hostcall [rounds]
//
// Both are timed in alternating rounds of 50 calls; the fastest round of each counts.

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/BenchCommon.h"
#include "docdata/Cp1252.h"
#include "hostlink/HostCommands.h"
#include "hostlink/MVTempDir.h"
#include "hostlink/MessageData.h"
#include "platform/ChildProcess.h"
#include "platform/LocalPipe.h"
#include "platform/Platform.h"

namespace {

using Clock = std::chrono::steady_clock;

sockaddr_un SocketAddress(const std::string& path) {
  sockaddr_un a{};
  a.sun_family = AF_UNIX;
  std::memcpy(a.sun_path, path.c_str(), std::min(path.size() + 1, sizeof a.sun_path - 1));
  return a;
}

bool ReadFully(int fd, char* p, size_t n) {
  while (n > 0) {
    ssize_t got = read(fd, p, n);
    if (got <= 0) return false;
    p += got;
    n -= static_cast<size_t>(got);
  }
  return true;
}

bool WriteFully(int fd, const char* p, size_t n) {
  while (n > 0) {
    ssize_t put = write(fd, p, n);
    if (put <= 0) return false;
    p += put;
    n -= static_cast<size_t>(put);
  }
  return true;
}

// The raw server: per connection, take `requestBytes`, send `replyBytes`, read until the
// client closes (its farewell). Ends when it is terminated.
int RawServer(const std::string& path, size_t requestBytes, size_t replyBytes, int readyFd) {
  int listener = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un a = SocketAddress(path);
  unlink(path.c_str());
  if (listener < 0 || bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
      listen(listener, 64) != 0) {
    std::fprintf(stderr, "raw server: %s\n", std::strerror(errno));
    return 1;
  }
  (void)!write(readyFd, "ready\n", 6);
  close(readyFd);
  std::string in(requestBytes, '\0'), out(replyBytes, 'r');
  for (;;) {
    int c = accept(listener, nullptr, nullptr);
    if (c < 0) continue;
    if (ReadFully(c, in.data(), in.size()) && WriteFully(c, out.data(), out.size())) {
      char rest[64];
      while (read(c, rest, sizeof rest) > 0) {
      }
    }
    close(c);
  }
}

struct Server {
  dz::ChildProcess process;
  bool Start(const std::string& program, std::vector<std::string> args) {
    dz::Pipe ready;
    args.push_back(dz::HandleText(ready.WriteEnd()));
    dz::ChildProcess::Options o;
    o.inherit = {ready.WriteEnd()};
    o.quiet = true;
    std::string error;
    if (!process.Start(program, args, o, &error)) {
      std::fprintf(stderr, "%s\n", error.c_str());
      return false;
    }
    ready.CloseWrite();
    std::string line;
    return ready.ReadLine(line, 30000) && line.rfind("ready", 0) == 0;
  }
  ~Server() {
    process.Terminate();
    if (!process.Wait(10000)) process.Kill();
  }
};

template <class F>
double MicrosPerCall(int calls, F&& call) {
  auto start = Clock::now();
  for (int i = 0; i < calls; ++i) call();
  return std::chrono::duration<double, std::micro>(Clock::now() - start).count() / calls;
}

// The fastest round stands for the cost itself: on a shared machine the slower rounds
// measure the other load.
double Fastest(const std::vector<double>& v) {
  return *std::min_element(v.begin(), v.end());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 6 && std::string(argv[1]) == "--raw-server")
    return RawServer(argv[2], std::strtoul(argv[3], nullptr, 10),
                     std::strtoul(argv[4], nullptr, 10), std::atoi(argv[5]));
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 40;
  const int callsPerRound = 50;

  namespace fs = std::filesystem;
  const std::string temp = dz::TempPath() + "dz-bench-" + dz::NewGuidText() + "/";
  fs::create_directories(temp);
  dz::SetEnvironmentValue(dz::TempFolderVariable(), temp);
  const std::string dbDir = temp + "db";
  fs::create_directories(dbDir);

  int status = 0;
  {
    const std::string program = dz::ProgramDir() + "hostsim";
    Server host;
    if (!host.Start(program, {"serve", "--name", "BenchHost", "--dir", dbDir, "--ready-fd"})) {
      std::fprintf(stderr, "bench_hostcall: %s did not start\n", program.c_str());
      fs::remove_all(temp);
      return 1;
    }
    // The exact bytes of one call, so that the raw round trip moves as many.
    dz::MessageDataPtr request = dz::CreateMessageData();
    request->Data().WriteUnicodeString(u"COMMAND", u"DBPATH");
    request->Data().WriteInteger(u"INDEX", -1);
    request->Data().WriteBoolean(u"SYNC", true);
    dz::MessageDataPtr reply = dz::CreateMessageData();
    reply->Data().WriteUnicodeString(u"DATA", dz::Cp1252ToUtf16(dbDir));
    const std::size_t requestBytes = 16 + static_cast<std::size_t>(request->Data().Size());
    const std::size_t replyBytes = 16 + static_cast<std::size_t>(reply->Data().Size());

    const std::string rawPath = dz::PipeAddress("BenchRaw");
    Server raw;
    if (!raw.Start(argv[0], {"--raw-server", rawPath, std::to_string(requestBytes),
                             std::to_string(replyBytes)})) {
      std::fprintf(stderr, "bench_hostcall: raw server did not start\n");
      fs::remove_all(temp);
      return 1;
    }

    bool ok = true;
    auto hostCall = [&] {
      bool answered = false;
      std::string answer = dz::ReadIPCValueFrom("DBPATH", "BenchHost", "", &answered);
      if (!answered || answer != dbDir) ok = false;
    };
    const std::string out(requestBytes, 'q'), farewell(8, '\xFF');
    std::string in(replyBytes, '\0');
    const sockaddr_un rawAddress = SocketAddress(rawPath);
    auto rawTrip = [&] {
      int c = socket(AF_UNIX, SOCK_STREAM, 0);
      if (c < 0 ||
          connect(c, reinterpret_cast<const sockaddr*>(&rawAddress), sizeof rawAddress) != 0 ||
          !WriteFully(c, out.data(), out.size()) || !ReadFully(c, in.data(), in.size()) ||
          !WriteFully(c, farewell.data(), farewell.size()))
        ok = false;
      if (c >= 0) close(c);
    };

    MicrosPerCall(100, hostCall);  // warm up both sides
    MicrosPerCall(100, rawTrip);
    std::vector<double> hostTimes, rawTimes;
    for (int r = 0; r < rounds; ++r) {
      hostTimes.push_back(MicrosPerCall(callsPerRound, hostCall));
      rawTimes.push_back(MicrosPerCall(callsPerRound, rawTrip));
    }
    if (!ok) {
      std::fprintf(stderr, "bench_hostcall: a call failed\n");
      status = 1;
    }
    const double hostUs = Fastest(hostTimes), floorUs = Fastest(rawTimes);
    std::printf("host call \"DBPATH\" via hostsim: %.1f us per call (%zu bytes out, %zu back)\n",
                hostUs, requestBytes, replyBytes);
    std::printf("raw socket round trip, same bytes: %.1f us\n", floorUs);
    bench::Verdict(hostUs / floorUs, 2.0);
  }
  std::error_code ec;
  fs::remove_all(temp, ec);
  return status;
}
