#pragma once
// One reconciliation run (TSuperStack): asks the host for the open document and its
// database folder, finds the one offer or order confirmation the document is linked to,
// has the host query every linked document, loads their stored positions and computes
// the merged and the missing view.
//
// Ownership: a TSuperStack owns its four storages (and through them every entry and line
// the grid later shows); a run clears and refills them. Working objects of a run (the host
// document, the info lines, the query result) live only for the run.
//
// Failures: Run catches every failure at its outer edge and keeps the message in
// ErrorText; with rethrow it then raises it again as dz::Exception. A run whose host calls
// were cancelled (HostCallCancel.h) fails with the reason given for cancelling. The storages hold
// what was loaded before a failure and must not be shown then. The run touches no user interface
// and may execute on any thread; only SystemUID is shared with other threads.

#include <cstdint>
#include <exception>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "docdata/BlobInflate.h"
#include "engine/LineStorage.h"

namespace dz {

class TVirtualDataSet;
class TAddInfoLines;

// Document type codes that make a document the reference of a run.
constexpr uint8_t kTypeOffer = 2;         // Angebot
constexpr uint8_t kTypeConfirmation = 7;  // Auftragsbestätigung

// Messages of a run (Windows-1252).
extern const char* const kNoHostMessage;
extern const char* const kNoLinksMessage;
extern const char* const kNoReferenceMessage;
extern const char* const kTooManyLinksMessage;
extern const char* const kOutOfMemoryMessage;

// The German message of a failure caught at the outer edge of a run: the run's own
// failures carry it, running out of memory gets kOutOfMemoryMessage (never the library's
// English text), anything else its own text.
std::string FailureMessage(const std::exception_ptr& failure);

class TSuperStack {
 public:
  TSuperStack() = default;
  TSuperStack(const TSuperStack&) = delete;
  TSuperStack& operator=(const TSuperStack&) = delete;

  // Performs one run. ErrorText is empty afterwards exactly when the run did not fail (an
  // early end for want of exactly one reference document is no failure).
  void Run(bool rethrow);

  // Called by the runs on their thread once Invoiced holds all its entries, before the
  // views are made from them (Source may still be being stored): from then on until the
  // run ends, the run only reads Invoiced, so another thread may read it too. A failure
  // it raises fails the run.
  void SetOnInvoicedComplete(std::function<void()> handler) {
    FOnInvoicedComplete = std::move(handler);
  }
  // Called by the runs, on the thread that stored them, once the positions of Source are
  // stored and sorted, maybe while Invoiced is still being filled: from then on until the
  // run ends, the run only reads Source but for the Matched flags of its entries, which it
  // sets. A failure it raises fails the run.
  void SetOnSourceStored(std::function<void()> handler) { FOnSourceStored = std::move(handler); }
  // Called by the runs on their thread once Merged holds its final entries, and once the
  // views are complete (Missing too): from then on the run only reads them. A failure it
  // raises fails the run.
  void SetOnMergedComplete(std::function<void()> handler) {
    FOnMergedComplete = std::move(handler);
  }
  void SetOnViewsComplete(std::function<void()> handler) { FOnViewsComplete = std::move(handler); }

  TLineStorage& Source() { return FSource; }
  TLineStorage& Invoiced() { return FInvoiced; }
  TLineStorage& Merged() { return FMerged; }
  TLineStorage& Missing() { return FMissing; }
  const TLineStorage& Source() const { return FSource; }
  const TLineStorage& Invoiced() const { return FInvoiced; }
  const TLineStorage& Merged() const { return FMerged; }
  const TLineStorage& Missing() const { return FMissing; }

  // Message of the last run's failure; empty after a run without failure.
  const std::string& ErrorText() const { return FErrorText; }
  // "<document summary> in <database folder>"; empty when the run failed before it.
  const std::string& CaptionText() const { return FCaptionText; }

 private:
  void Execute(std::string& documentFile);
  void LoadOpenDocument(class TMVJSONObject& document, std::vector<int32_t>& offers,
                        std::vector<int32_t>& confirmations);
  struct ColumnCache;
  struct StoredDocument;
  class StoredDocuments;
  // Decodes, with this thread too, what is left of the documents, then stores their
  // positions and sorts the storages.
  void StoreDocuments(StoredDocuments& stored, const std::vector<int32_t>& reference);
  static void DecodeStoredDocument(StoredDocument& doc, ColumnCache& columns);

  TLineStorage FSource;    // positions of the offer or order confirmation
  TLineStorage FInvoiced;  // positions of every other document of the run
  TLineStorage FMerged;    // Invoiced with equal positions added up
  TLineStorage FMissing;   // what Source holds and the invoices do not (yet)
  std::string FErrorText;
  std::string FCaptionText;
  std::function<void()> FOnInvoicedComplete, FOnSourceStored, FOnMergedComplete, FOnViewsComplete;
};

// The process-wide system identifier: the whole content of "SYS.UID" in the host's
// database folder, as the most recent run that got that far read it (empty when the file
// was missing or unreadable). Written by runs on a worker thread, read by copying on the
// user-interface thread; both under one lock.
std::string SystemUID();
void SetSystemUID(const std::string& value);

// The database folder from the host's "DBPATH" answer: empty stays empty, a folder that
// already ends with the path delimiter stays as it is, any other gets the delimiter.
std::string DatabaseFolderOf(const std::string& answer);

// The comma-joined decimal ORG_IDs of the info lines, in collection order.
std::string LinkedIdList(const TAddInfoLines& lines);
// The run's query over the linked documents.
std::string LinkedDocumentsQuery(const std::string& idList);

// A binary column of the current query row, inflated. An empty column gives empty bytes;
// a column that is no complete zlib stream gives the bytes inflated before the damage,
// marked damaged. Raises only when the row has no such column.
InflateResult ReadBlobStream(TVirtualDataSet& row, std::string_view column);

}  // namespace dz
