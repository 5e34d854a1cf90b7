#include "engine/SuperStack.h"

#include <algorithm>
#include <climits>
#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#include "docdata/AddInfoLines.h"
#include "docdata/DataGrid.h"
#include "docdata/Exception.h"
#include "docdata/MVJSONObject.h"
#include "docdata/RowConversion.h"
#include "hostlink/HostCallCancel.h"
#include "hostlink/HostCommands.h"
#include "hostlink/RemoteQuery.h"
#include "hostlink/VirtualDataSet.h"
#include "platform/FileRead.h"
#include "platform/Platform.h"
#include "platform/SideTask.h"

namespace dz {

const char* const kNoHostMessage = "Keine Verbindung zu Marvella (Marvella muss gestartet sein)";
const char* const kNoLinksMessage =
    "Keine Verbindungen zu anderen Dokumenten (Angebot/Auftragsbest\xE4tgung zu Rechnungen)";
const char* const kNoReferenceMessage =
    "Es wird ein verkn\xFCpftes Angebot oder Auftragsbest\xE4tgung ben\xF6tigt";
const char* const kTooManyLinksMessage =
    "Zuviele Verkn\xFCpfungen zu Angeboten oder Auftragsbest\xE4tgungen";
const char* const kOutOfMemoryMessage = "Nicht gen\xFCgend Arbeitsspeicher f\xFCr diesen Lauf";

namespace {

std::mutex systemUidLock;
std::string systemUid;

bool Contains(const std::vector<int32_t>& list, int32_t id) {
  return std::find(list.begin(), list.end(), id) != list.end();
}

// "SYS.UID" holds one identifier; a file far bigger than that is not the one we want.
constexpr std::size_t kMaxSystemUidBytes = 64 * 1024;

// Removes the document file the host wrote for us. Only a plain file, and only in the
// user's temporary folder, where the host puts its copies: the answer may name any file,
// and a folder, the user's own documents or anything else are never ours to delete.
void DeleteDocumentFile(const std::string& path) {
  if (!path.empty() && IsRegularFile(path) && LiesInFolder(path, TempPath())) RemoveFile(path);
}

}  // namespace

// The documents of one host share their column layout byte for byte as a rule. The layout
// of the last document is kept, so that the next one with the same compressed bytes skips
// inflating and reading the column stream.
struct TSuperStack::ColumnCache {
  std::string compressed;
  std::unique_ptr<TDataGrid> table;  // the loaded columns
  TColumnIndexRecord index;
};

// One stored document of the run: what its row holds, then what decoding it gave.
struct TSuperStack::StoredDocument {
  DocumentRef ref;
  bool isReference = false;
  // Compressed, taken from the row: the query result may move its values while it grows.
  std::string columns, datas;
  std::vector<const PackedLine*> lines;  // its positions, numbers normalised
  std::shared_ptr<EntryArena> arena;     // where they live
  std::exception_ptr failure;
};

// The stored documents of a run, decoded while the query's rows are still being read: a
// second thread takes each document as soon as its row is whole, and once all rows are in,
// this thread helps. The documents do not depend on each other; their positions are
// stored in the order of the rows, and the first failure in that order ends the run,
// exactly as if they had been decoded one by one.
class TSuperStack::StoredDocuments {
 public:
  StoredDocuments() {
    try {
      helper_ = std::thread([this] { Work(); });
    } catch (const std::system_error&) {
      // No second thread to be had: this one decodes them all once the rows are in.
    }
  }
  ~StoredDocuments() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      closed_ = abandoned_ = true;
    }
    ready_.notify_all();
    if (helper_.joinable()) helper_.join();
  }
  StoredDocuments(const StoredDocuments&) = delete;
  StoredDocuments& operator=(const StoredDocuments&) = delete;

  // The next row of the query (the cursor on it). Raises nothing: a row that cannot be
  // read becomes a document with its failure, and the rows after it are left out.
  void Add(TVirtualDataSet& row) {
    if (stopped_) return;
    try {
      StoredDocument d;
      try {
        d.ref.Number = row.FieldByName("ID_ORDER").AsString();
        d.ref.ID = row.FieldByName("ID").AsInteger();
        d.ref.Type = static_cast<uint8_t>(row.FieldByName("POT").AsInteger() & 0xFF);
        d.ref.Date = row.FieldByName("date").AsDateTime();
        // Nothing else reads them: taken rather than copied.
        d.columns = row.FieldByName("ColumnsFormat").TakeString();
        d.datas = row.FieldByName("Datas").TakeString();
      } catch (...) {
        d.failure = std::current_exception();  // the documents before it still count
        stopped_ = true;
      }
      std::lock_guard<std::mutex> lock(mutex_);
      docs_.push_back(std::move(d));
    } catch (...) {
      lost_ = std::current_exception();  // no room for the document itself
      stopped_ = true;
      return;
    }
    ready_.notify_one();
  }

  // No more rows.
  void Close() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      closed_ = true;
    }
    ready_.notify_all();
  }

  // After Close: decodes what is left with this thread too, waits for the other one and
  // raises the first failure in the order of the rows. The documents are this thread's
  // alone then.
  std::deque<StoredDocument>& Finish() {
    Work();
    if (helper_.joinable()) helper_.join();
    for (const StoredDocument& d : docs_)
      if (d.failure) std::rethrow_exception(d.failure);
    if (lost_) std::rethrow_exception(lost_);
    return docs_;
  }

 private:
  void Work() {
    ColumnCache cache;
    std::shared_ptr<EntryArena> arena;  // one for the documents this thread decodes
    for (;;) {
      StoredDocument* d;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        ready_.wait(lock, [this] { return abandoned_ || closed_ || next_ < docs_.size(); });
        if (abandoned_ || next_ == docs_.size()) return;
        d = &docs_[next_++];  // stays in place while more are added
      }
      if (d->failure) continue;
      try {
        if (!arena) arena = std::make_shared<EntryArena>();
        d->arena = arena;
        DecodeStoredDocument(*d, cache);
      } catch (...) {
        d->failure = std::current_exception();
      }
      d->columns = std::string();
      d->datas = std::string();
    }
  }

  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<StoredDocument> docs_;  // in the order of the rows
  size_t next_ = 0;                  // the next one to decode
  bool closed_ = false, abandoned_ = false;
  // Of the reading thread only:
  bool stopped_ = false;
  std::exception_ptr lost_;
  std::thread helper_;
};

std::string SystemUID() {
  std::lock_guard<std::mutex> lock(systemUidLock);
  return systemUid;
}

void SetSystemUID(const std::string& value) {
  std::lock_guard<std::mutex> lock(systemUidLock);
  systemUid = value;
}

std::string DatabaseFolderOf(const std::string& answer) {
  if (answer.empty() || answer.back() == PathDelim) return answer;
  return answer + PathDelim;
}

std::string LinkedIdList(const TAddInfoLines& lines) {
  std::string list;
  for (size_t i = 0; i < lines.Count(); ++i) {
    if (i > 0) list += ',';
    list += std::to_string(lines.Item(i).ORG_ID);
  }
  return list;
}

std::string LinkedDocumentsQuery(const std::string& idList) {
  return "SELECT ID,ID_ORDER,Date,Status,POT,steuer_high_set,datas,ColumnsFormat,printname,"
         "adressname  FROM Auftraege where ID in (" +
         idList + ")";
}

InflateResult ReadBlobStream(TVirtualDataSet& row, std::string_view column) {
  std::string compressed = row.FieldByName(column).AsString();
  return InflateBlob(compressed);
}

std::string FailureMessage(const std::exception_ptr& failure) {
  try {
    std::rethrow_exception(failure);
  } catch (const Exception& e) {
    return e.Message();
  } catch (const std::bad_alloc&) {
    return kOutOfMemoryMessage;
  } catch (const std::exception& e) {
    // Not our own failure kind, but a failure all the same: it must not pass for a run
    // that found nothing.
    return *e.what() ? e.what() : "Unbekannter Fehler";
  } catch (...) {
    return "Unbekannter Fehler";
  }
}

void TSuperStack::Run(bool rethrow) {
  std::string documentFile;
  std::exception_ptr failure;
  try {
    Execute(documentFile);
    // A call cut short looks like a host that had nothing to say, which a run may take as
    // "nothing linked": a cancelled run never passes for a complete one.
    if (HostCallsCancelled()) throw Exception(CurrentHostCallCancel()->Reason());
  } catch (...) {
    failure = std::current_exception();
  }
  DeleteDocumentFile(documentFile);
  if (!failure) return;
  FErrorText = FailureMessage(failure);
  // Whatever failed after cancelling failed because of it; say why.
  if (HostCallsCancelled() && !CurrentHostCallCancel()->Reason().empty())
    FErrorText = CurrentHostCallCancel()->Reason();
  if (rethrow) throw Exception(FErrorText);
}

void TSuperStack::Execute(std::string& documentFile) {
  FErrorText.clear();
  FSource.Clear();
  FInvoiced.Clear();
  FMissing.Clear();
  FMerged.Clear();
  FCaptionText.clear();
  TMVJSONObject document;
  std::vector<int32_t> offers, confirmations;

  documentFile = ReadIPCValueSync("GETJSON", "");
  document.Load(documentFile, false, true);
  if (!document.IsValid()) throw Exception(kNoHostMessage);

  const std::string folder = DatabaseFolderOf(ReadIPCValueSync("DBPATH", ""));
  FCaptionText = document.Caption() + " in " + folder;

  // Missing, unreadable, no regular file or too big: the run goes on without it.
  std::string uid;
  if (ReadRegularFile(folder + "SYS.UID", kMaxSystemUidBytes, uid) != FileReadResult::Ok)
    uid.clear();
  SetSystemUID(uid);

  LoadOpenDocument(document, offers, confirmations);

  TAddInfoLines infoLines;
  {
    // The text's bytes exactly as they are: a component stream is binary.
    const std::string bytes = document.Order()->AsObject().Member("InfoLines").AsString();
    infoLines.Load(bytes);
  }
  const std::string idList = LinkedIdList(infoLines);
  if (idList.empty()) throw Exception(kNoLinksMessage);

  std::string queryError;
  StoredDocuments stored;  // decoded while the rows still arrive
  std::unique_ptr<TVirtualDataSet> rows =
      RunRemoteQuery(LinkedDocumentsQuery(idList), folder, queryError,
                     [&stored](TVirtualDataSet& row) { stored.Add(row); });
  stored.Close();
  if (!queryError.empty()) throw Exception(queryError);

  for (rows->First(); !rows->Eof(); rows->Next()) {
    const uint8_t type = static_cast<uint8_t>(rows->FieldByName("POT").AsInteger() & 0xFF);
    if (type == kTypeOffer)
      offers.push_back(rows->FieldByName("ID").AsInteger());
    else if (type == kTypeConfirmation)
      confirmations.push_back(rows->FieldByName("ID").AsInteger());
  }

  const std::vector<int32_t>* reference = nullptr;
  if (offers.empty() && confirmations.empty()) throw Exception(kNoReferenceMessage);
  if (offers.size() > 1 && confirmations.size() > 1) throw Exception(kTooManyLinksMessage);
  if (offers.size() == 1 && confirmations.empty())
    reference = &offers;
  else if (offers.empty() && confirmations.size() == 1)
    reference = &confirmations;
  else
    return;  // no single reference document: nothing to reconcile, and no failure

  StoreDocuments(stored, *reference);
  ComputeViews(FSource, FInvoiced, FMerged, FMissing, false, FOnMergedComplete);
  if (FOnViewsComplete) FOnViewsComplete();
}

void TSuperStack::LoadOpenDocument(TMVJSONObject& document, std::vector<int32_t>& offers,
                                   std::vector<int32_t>& confirmations) {
  TJsonObject& order = document.Order()->AsObject();
  DocumentRef ref;
  ref.Number = document.DocumentNumber();
  ref.ID = order.Member("ID").AsInteger();
  ref.Type = static_cast<uint8_t>(order.Member("InternalType").AsInteger() & 0xFF);
  ref.Date = document.Date();

  const bool isReference = ref.Type == kTypeOffer || ref.Type == kTypeConfirmation;
  TLineStorage& target = isReference ? FSource : FInvoiced;
  TJsonArray& parts = *document.Positions();
  for (size_t i = 0; i < parts.Count(); ++i) {
    TJsonValue& part = parts.Item(static_cast<int64_t>(i));
    if (!IsPositionKind(part.AsObject().Member("TypLine").AsString())) continue;
    target.AddFromPosition(ref, part);
  }

  if (ref.Type == kTypeOffer)
    offers.push_back(ref.ID);
  else if (ref.Type == kTypeConfirmation)
    confirmations.push_back(ref.ID);
}

void TSuperStack::StoreDocuments(StoredDocuments& stored, const std::vector<int32_t>& reference) {
  std::deque<StoredDocument>& docs = stored.Finish();
  for (StoredDocument& d : docs) d.isReference = Contains(reference, d.ref.ID);

  // The reference's positions and the invoiced ones go to their storages and are sorted
  // there at the same time, each storage by one thread.
  auto store = [&docs](TLineStorage& target, bool reference) {
    size_t lines = 0;
    for (const StoredDocument& d : docs)
      if (d.isReference == reference) lines += d.lines.size();
    target.Reserve(static_cast<int>(std::min<size_t>(lines, INT_MAX)));
    for (StoredDocument& d : docs) {
      if (d.isReference != reference) continue;
      for (const PackedLine* line : d.lines) target.AddPacked(d.ref, line, d.arena);
      std::vector<const PackedLine*>().swap(d.lines);
    }
    target.Sort();
  };
  SideTask source([&] {
    store(FSource, true);
    if (FOnSourceStored) FOnSourceStored();
  });
  store(FInvoiced, false);
  // Told at once: the other thread may still be busy with the source's positions.
  if (FOnInvoicedComplete) FOnInvoicedComplete();
  source.Wait();
}

void TSuperStack::DecodeStoredDocument(StoredDocument& doc, ColumnCache& cache) {
  // A document whose stored positions cannot be read whole would show up as never
  // invoiced (or its invoice as missing): better no result than a wrong one.
  auto damaged = [&doc] {
    return Exception("Die gespeicherten Positionen des Dokuments " + doc.ref.Number +
                     " sind besch\xE4"
                     "digt");
  };
  const bool known = cache.table && doc.columns == cache.compressed;
  InflateResult columns;
  if (!known) columns = InflateBlob(doc.columns);
  InflateResult datas = InflateBlob(doc.datas);
  if (columns.damaged || datas.damaged) throw damaged();
  if ((!known && columns.bytes.Empty()) || datas.bytes.Empty()) return;

  if (!known) {
    cache.table.reset();
    auto table = std::make_unique<TDataGrid>();
    table->LoadColumns(columns.bytes.View());
    cache.index = MakeColumnIndex(*table);
    cache.table = std::move(table);
    cache.compressed.assign(doc.columns);
  }
  // The rows go straight into lines: the table itself never needs them.
  const TColumnIndexRecord& index = cache.index;
  LineArena& arena = doc.arena->lines;
  auto take = [&doc, &index, &arena](const TDataGridRowView& row) {
    if (IsMarkerKind(RowKindOf(row.Cell(0)))) return;
    doc.lines.push_back(PackRowView(row, index, arena));
  };
  if (!cache.table->VisitRows(datas.bytes.View(), take)) throw damaged();
}

}  // namespace dz
