#include "platform/Platform.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <system_error>
#include <thread>

#include <ini.h>  // on Windows the system reads INI files itself

namespace dz {

const char* TempFolderVariable() {
  return "TMPDIR";
}

std::string TempPath() {
  const char* t = std::getenv("TMPDIR");
  std::string p = (t && *t) ? t : "/tmp";
  if (p.back() != '/') p += '/';
  return p;
}

const char* ProgramSuffix() {
  return "";
}

std::string ProgramDir() {
  char buf[4096];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof(buf) - 1);
  if (n <= 0) return {};
  std::string p(buf, static_cast<size_t>(n));
  auto slash = p.rfind('/');
  if (slash == std::string::npos) return {};
  return p.substr(0, slash + 1);
}

std::string NewGuidText() {
  unsigned char b[16];
  bool ok = false;
  int fd = open("/dev/urandom", O_RDONLY | O_CLOEXEC);
  if (fd >= 0) {
    ok = read(fd, b, sizeof b) == static_cast<ssize_t>(sizeof b);
    close(fd);
  }
  if (!ok) {
    std::random_device rd;
    for (auto& c : b) c = static_cast<unsigned char>(rd());
  }
  b[6] = static_cast<unsigned char>((b[6] & 0x0F) | 0x40);
  b[8] = static_cast<unsigned char>((b[8] & 0x3F) | 0x80);
  char out[37];
  std::snprintf(out, sizeof out,
                "%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X", b[0], b[1],
                b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13], b[14],
                b[15]);
  return out;
}

int CurrentProcessId() {
  return static_cast<int>(getpid());
}
int ParentProcessId() {
  return static_cast<int>(getppid());
}

void SleepMs(int milliseconds) {
  if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

bool OpenFilesMayBeReplaced() {
  return true;
}

bool EnsurePrivateDir(const std::string& path) {
  if (path.empty()) return false;
  std::string p = path;
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  if (mkdir(p.c_str(), 0700) != 0 && errno != EEXIST) return false;
  struct stat st {};
  if (lstat(p.c_str(), &st) != 0) return false;
  if (!S_ISDIR(st.st_mode)) return false;
  if (st.st_uid != geteuid()) return false;
  if (st.st_mode & (S_IWGRP | S_IWOTH)) return false;
  return true;
}

double MonotonicSeconds() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

bool ReadWholeFile(const std::string& path, std::string& out) {
  out.clear();
  std::ifstream f(path, std::ios::binary);
  if (!f) return false;
  std::ostringstream ss;
  ss << f.rdbuf();
  if (f.bad()) return false;
  out = std::move(ss).str();
  return true;
}

namespace {

bool WriteToFile(const std::string& path, const std::string& data, std::ios::openmode mode) {
  std::ofstream f(path, std::ios::binary | mode);
  if (!f) return false;
  f.write(data.data(), static_cast<std::streamsize>(data.size()));
  f.close();
  return !f.fail();
}

}  // namespace

bool WriteWholeFile(const std::string& path, const std::string& data) {
  return WriteToFile(path, data, std::ios::trunc);
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0;
}

bool IsRegularFile(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool AppendToFile(const std::string& path, const std::string& data) {
  return WriteToFile(path, data, std::ios::app);
}

bool IsDirectory(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool MakeFolders(const std::string& path) {
  std::error_code ec;
  std::filesystem::create_directories(path, ec);
  return IsDirectory(path);
}

bool RemoveFile(const std::string& path) {
  return unlink(path.c_str()) == 0;
}

std::string Utf8ApiPath(const std::string& path) {
  return path;
}

std::string AbsolutePath(const std::string& path) {
  if (path.empty() || path[0] == '/') return path;
  char buf[4096];
  if (!getcwd(buf, sizeof buf)) return path;
  std::string cwd = buf;
  if (cwd.back() != '/') cwd += '/';
  return cwd + path;
}

bool SetEnvironmentValue(const std::string& name, const std::string& value) {
  return setenv(name.c_str(), value.c_str(), 1) == 0;
}

bool UnsetEnvironmentValue(const std::string& name) {
  return unsetenv(name.c_str()) == 0;
}

bool ReadEnvironmentValue(const std::string& name, std::string& value) {
  const char* v = std::getenv(name.c_str());
  value = v ? v : "";
  return v != nullptr;
}

std::string MakeUniqueFolder(const std::string& parent, const std::string& prefix) {
  std::string tmpl = parent + prefix + "XXXXXX";
  if (!mkdtemp(tmpl.data())) return {};
  return tmpl + PathDelim;
}

bool RemoveFolderTree(const std::string& path) {
  std::error_code ec;
  std::filesystem::remove_all(path, ec);
  return !ec;
}

bool OpenFolderToOthers(const std::string& path, bool everyone) {
  return chmod(path.c_str(), everyone ? 0703 : 0770) == 0;
}

bool PlatformHasFifos() {
  return true;
}

bool MakeFifo(const std::string& path) {
  return mkfifo(path.c_str(), 0600) == 0;
}

namespace {

struct IniQuery {
  const std::string* section;
  const std::string* key;
  std::string* value;
  bool found = false;
};

bool SameAsciiText(const char* a, const std::string& b) {
  std::size_t i = 0;
  for (; a[i] && i < b.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return a[i] == '\0' && i == b.size();
}

int IniHandler(void* user, const char* section, const char* name, const char* value) {
  auto* q = static_cast<IniQuery*>(user);
  // A key given twice: the later one wins, as it always did here.
  if (SameAsciiText(section, *q->section) && SameAsciiText(name, *q->key)) {
    *q->value = value ? value : "";
    q->found = true;
  }
  return 1;
}

}  // namespace

bool ReadIniValue(const std::string& path, const std::string& section, const std::string& key,
                  std::string& value) {
  value.clear();
  IniQuery q{&section, &key, &value};
  if (ini_parse(path.c_str(), IniHandler, &q) < 0) return false;  // missing or unreadable
  return q.found;
}

std::string CurrentUserIdentity() {
  return std::to_string(static_cast<unsigned long>(geteuid()));
}

bool IsCurrentUserIdentity(const std::string& identity) {
  return !identity.empty() && identity == CurrentUserIdentity();
}

}  // namespace dz
