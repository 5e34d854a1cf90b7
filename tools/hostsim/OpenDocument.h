#pragma once
// The document that is "open" in the host stand-in: a JSON file (Windows-1252) kept on
// disk. "GETJSON" hands out a fresh copy of it; "OUTDATA" appends the parts of an import
// document to it. Every change is written to disk before it is acknowledged, and an
// import that cannot be merged is kept beside the document: nothing delivered is lost.
//
// Thread-safe: connections are served in parallel. Failures are values.

#include <mutex>
#include <string>

namespace dz::hostsim {

class OpenDocument {
 public:
  explicit OpenDocument(std::string path) : path_(std::move(path)) {}

  // Creates the file with an empty invoice when it does not exist yet.
  bool Prepare(std::string* error);

  const std::string& Path() const { return path_; }
  std::string Text();

  // Writes the document to a new file in the shared temporary folder and returns its
  // path; empty on failure. The receiver deletes the file when done.
  std::string ExportCopy();

  // Appends the parts of `importText` and saves. Returns empty text on success, else an
  // error text beginning "Error: " (the import is then saved as a separate file).
  std::string AppendImport(const std::string& importText);

  // The document a new stand-in starts with.
  static std::string EmptyInvoice();

 private:
  std::mutex mutex_;
  std::string path_;
};

}  // namespace dz::hostsim
