#pragma once
// TCustomTextParser: base of the request makers that hand a document to the host. A
// request is run in two steps: Fill adds the request's content to the process-wide
// import document, Send turns the document into text, discards it and delivers the text
// with the request's command and index.
//
// Ownership: the parser owns its document access object (created on first use); the
// document itself is process-wide (JSON.h) and lives only during a run. Failures while
// filling or generating raise (the document is discarded first); a host that does not
// answer is reported by Send's result, never by an exception.

#include <cstdint>
#include <memory>
#include <string>

#include "output/JSONImport.h"

namespace dz {

class TCustomTextParser {
 public:
  virtual ~TCustomTextParser();

  // Adds the request's content, described by `description`, to the document.
  virtual void Fill(const std::string& description) = 0;
  // Generates the text (discarding the document, also when that fails) and delivers it
  // with CommandName and RequestIndex. True when the host answered one of the attempts.
  virtual bool Send();
  virtual std::int32_t RequestIndex() const { return 11; }
  virtual std::string CommandName() const { return "OUTDATA"; }
  // Fill, then Send, holding the document for the whole run; the document is discarded
  // when filling fails, and the failure passed on. Returns what Send returns.
  virtual bool Run(const std::string& description);

  // The document access object, created on first use.
  TJSONImport& Json();

 private:
  std::unique_ptr<TJSONImport> json_;
};

}  // namespace dz
