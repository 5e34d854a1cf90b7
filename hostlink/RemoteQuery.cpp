#include "hostlink/RemoteQuery.h"

#include <algorithm>
#include <exception>

#include "docdata/Exception.h"
#include "hostlink/BinaryStreamFormat.h"
#include "hostlink/HostCommands.h"
#include "hostlink/MVTempDir.h"
#include "hostlink/StringHash.h"
#include "platform/Platform.h"

namespace dz {

namespace {

constexpr const char* kNoAnswer = "Error: Der IPC Server antwortet nicht";

constexpr int kDeleteAttempts = 100;
constexpr int kDeletePauseMs = 10;

void DeleteResultFile(const std::string& path) {
  if (path.empty()) return;
  for (int attempt = 1; attempt <= kDeleteAttempts && FileExists(path); ++attempt) {
    if (RemoveFile(path)) return;
    if (attempt < kDeleteAttempts) SleepMs(kDeletePauseMs);
  }
}

// The answer of a query that ran: lines ending in CR LF, each at least "name,type,size".
// A host's error message is one line of prose.
bool IsFieldList(const std::string& answer) {
  if (answer.size() < 2 || answer.compare(answer.size() - 2, 2, "\r\n") != 0) return false;
  const std::string first = answer.substr(0, answer.find("\r\n"));
  return std::count(first.begin(), first.end(), ',') >= 2;
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
                                                std::string& errorText,
                                                const TVirtualDataSet::RecordObserver& onRecord) {
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
    bool answered = false;
    const std::string answer = ReadIPCValueSync("ANYQUERY", request, &answered);
    // The host tells success by writing the file, failure by its answer alone. But it
    // creates the file before it answers: without the answer the file may be empty or cut
    // short, and reading it would turn lost records into documents never invoiced.
    if (!answered) {
      errorText = kNoAnswer;
    } else if (FileExists(path)) {
      ds->SetFieldDefsFromText(answer);
      ds->SetRecordObserver(onRecord);
      ds->LoadFromFile(format, path);
      ds->First();
    } else if (answer.empty()) {
      errorText = kNoAnswer;
    } else if (IsFieldList(answer)) {
      // A field list means the query ran; only its records did not arrive.
      errorText = "Error: Die Ergebnisdatei \"" + path + "\" des IPC Servers fehlt";
    } else {
      errorText = "Error: " + answer;
    }
  } catch (const std::exception& e) {
    errorText = e.what();
    if (errorText.empty()) errorText = "Error: Die Abfrage ist fehlgeschlagen";
  }
  ds->SetRecordObserver({});  // the caller's, which need not outlive this call
  DeleteResultFile(path);
  return ds;
}

}  // namespace dz
