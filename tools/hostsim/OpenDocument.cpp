#include "tools/hostsim/OpenDocument.h"

#include <vector>

#include "hostlink/MVTempDir.h"
#include "platform/FileLock.h"
#include "platform/Platform.h"
#include "tools/hostsim/JsonSplice.h"

namespace dz::hostsim {

std::string OpenDocument::EmptyInvoice() {
  return "{\"Order\":[{\"ID\":1,\"UID\":\"-1\",\"PrintName\":\"Rechnung\",\"PrintUID\":\"\","
         "\"InternalType\":1,\"Date\":\"\",\"InfoLines\":\"\",\"Adress\":[{\"AdressSmart\":\"\"}],"
         "\"Parts\":[]}]}";
}

bool OpenDocument::Prepare(std::string* error) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (FileExists(path_)) {
    if (IsRegularFile(path_)) return true;
    if (error) *error = path_ + " is not a regular file";
    return false;
  }
  if (ReplaceFileAtomically(path_, EmptyInvoice())) return true;
  if (error) *error = "cannot write " + path_;
  return false;
}

std::string OpenDocument::Text() {
  std::lock_guard<std::mutex> lock(mutex_);
  std::string text;
  ReadWholeFile(path_, text);
  return text;
}

std::string OpenDocument::ExportCopy() {
  std::string folder = MVTempDir();
  if (folder.empty()) return {};
  std::string text = Text();
  // A new name nobody reads before the answer names it: written plainly, with no flush to
  // the disk, as a copy for the moment needs none.
  std::string path = folder + NewGuidText() + ".json";
  if (WriteWholeFile(path, text)) return path;
  RemoveFile(path);
  return {};
}

std::string OpenDocument::AppendImport(const std::string& importText) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::string error;
  std::vector<std::string> parts;
  std::string document;
  if (!ReadWholeFile(path_, document))
    error = "cannot read the open document " + path_;
  else if (ImportParts(importText, parts, &error) && AppendParts(document, parts, &error) &&
           !ReplaceFileAtomically(path_, document))
    error = "cannot save the open document " + path_;
  if (error.empty()) return {};
  ReplaceFileAtomically(path_ + ".rejected-" + NewGuidText() + ".json", importText);
  return "Error: " + error;
}

}  // namespace dz::hostsim
