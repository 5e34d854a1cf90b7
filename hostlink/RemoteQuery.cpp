#include "hostlink/RemoteQuery.h"

#include <exception>

#include "docdata/Exception.h"
#include "hostlink/BinaryStreamFormat.h"
#include "hostlink/HostCommands.h"
#include "hostlink/MVTempDir.h"
#include "hostlink/StringHash.h"
#include "platform/Platform.h"

namespace dz {

namespace {

constexpr int kDeleteAttempts = 100;
constexpr int kDeletePauseMs = 10;

void DeleteResultFile(const std::string& path) {
  if (path.empty()) return;
  for (int attempt = 1; attempt <= kDeleteAttempts && FileExists(path); ++attempt) {
    if (RemoveFile(path)) return;
    if (attempt < kDeleteAttempts) SleepMs(kDeletePauseMs);
  }
}

}  // namespace

std::string NewResultFilePath() {
  std::string folder = MVTempDir();
  if (folder.empty()) return {};
  return folder + std::to_string(PJWHash(NewGuidText()));
}

std::string RequestDatabaseFolder(const std::string& folder) {
  if (folder.empty()) return folder;
  std::string f = folder;
  if (f.back() != PathDelim) f += PathDelim;
  return AbsolutePath(f);
}

std::unique_ptr<TVirtualDataSet> RunRemoteQuery(const std::string& sql, const std::string& dbFolder,
                                                std::string& errorText) {
  errorText.clear();
  auto ds = std::make_unique<TVirtualDataSet>();
  std::string path;
  try {
    TBinaryStreamFormat format;
    path = NewResultFilePath();
    // Without our private folder there is no place the host may write to for us.
    if (path.empty())
      throw Exception("Error: Der tempor\xE4re Ordner f\xFCr das Abfrageergebnis fehlt");
    std::string folder = dbFolder.empty() ? ReadIPCValueSync("DBPATH", "") : dbFolder;
    const std::string request =
        RequestDatabaseFolder(folder) + '\x08' + sql + '\x08' + "vds" + '\x08' + path;
    const std::string answer = ReadIPCValueSync("ANYQUERY", request);
    // The host tells success by writing the file, failure by its answer alone.
    if (FileExists(path)) {
      ds->SetFieldDefsFromText(answer);
      ds->LoadFromFile(format, path);
      ds->First();
    } else {
      errorText =
          "Error: " + (answer.empty() ? std::string("Der IPC Server antwortet nicht") : answer);
    }
  } catch (const std::exception& e) {
    errorText = e.what();
    if (errorText.empty()) errorText = "Error: Die Abfrage ist fehlgeschlagen";
  }
  DeleteResultFile(path);
  return ds;
}

}  // namespace dz
