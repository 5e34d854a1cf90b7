#include "engine/SuperStack.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <mutex>

#include "docdata/AddInfoLines.h"
#include "docdata/DataGrid.h"
#include "docdata/Exception.h"
#include "docdata/MVJSONObject.h"
#include "docdata/RowConversion.h"
#include "hostlink/HostCommands.h"
#include "hostlink/RemoteQuery.h"
#include "hostlink/VirtualDataSet.h"
#include "platform/Platform.h"

namespace dz {

const char* const kNoHostMessage = "Keine Verbindung zu Marvella (Marvella muss gestartet sein)";
const char* const kNoLinksMessage =
    "Keine Verbindungen zu anderen Dokumenten (Angebot/Auftragsbest\xE4tgung zu Rechnungen)";
const char* const kNoReferenceMessage =
    "Es wird ein verkn\xFCpftes Angebot oder Auftragsbest\xE4tgung ben\xF6tigt";
const char* const kTooManyLinksMessage =
    "Zuviele Verkn\xFCpfungen zu Angeboten oder Auftragsbest\xE4tgungen";

namespace {

std::mutex systemUidLock;
std::string systemUid;

bool Contains(const std::vector<int32_t>& list, int32_t id) {
  return std::find(list.begin(), list.end(), id) != list.end();
}

// Removes the document file the host wrote for us. Only a plain file: whatever the answer
// names, a folder (or anything else) is never ours to delete.
void DeleteDocumentFile(const std::string& path) {
  if (!path.empty() && IsRegularFile(path)) RemoveFile(path);
}

}  // namespace

// The documents of one host share their column layout byte for byte as a rule. The layout
// of the last document is kept, so that the next one with the same compressed bytes skips
// inflating and reading the column stream.
struct TSuperStack::ColumnCache {
  std::string compressed;
  std::unique_ptr<TDataGrid> layout;  // a table holding just the loaded columns
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

void TSuperStack::Run(bool rethrow) {
  std::string documentFile;
  try {
    Execute(documentFile);
    DeleteDocumentFile(documentFile);
  } catch (const Exception& e) {
    FErrorText = e.Message();
    DeleteDocumentFile(documentFile);
    if (rethrow) throw;
  } catch (const std::exception& e) {
    // Not our own failure kind (out of memory, say), but a failure all the same: it must
    // not pass for a run that found nothing.
    FErrorText = e.what();
    DeleteDocumentFile(documentFile);
    if (rethrow) throw Exception(FErrorText);
  }
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

  std::string uid;
  if (!ReadWholeFile(folder + "SYS.UID", uid)) uid.clear();
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
  std::unique_ptr<TVirtualDataSet> rows =
      RunRemoteQuery(LinkedDocumentsQuery(idList), folder, queryError);
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

  ColumnCache columns;
  for (rows->First(); !rows->Eof(); rows->Next()) {
    const bool isReference = Contains(*reference, rows->FieldByName("ID").AsInteger());
    LoadStoredDocument(*rows, isReference ? FSource : FInvoiced, columns);
  }

  FSource.Sort();
  FInvoiced.Sort();
  ComputeViews(FSource, FInvoiced, FMerged, FMissing);
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

void TSuperStack::LoadStoredDocument(TVirtualDataSet& row, TLineStorage& target,
                                     ColumnCache& cache) {
  DocumentRef ref;
  ref.Number = row.FieldByName("ID_ORDER").AsString();
  ref.ID = row.FieldByName("ID").AsInteger();
  ref.Type = static_cast<uint8_t>(row.FieldByName("POT").AsInteger() & 0xFF);
  ref.Date = row.FieldByName("date").AsDateTime();

  // A document whose stored positions cannot be read whole would show up as never
  // invoiced (or its invoice as missing): better no result than a wrong one.
  auto damaged = [&ref] {
    return Exception("Die gespeicherten Positionen des Dokuments " + ref.Number +
                     " sind besch\xE4"
                     "digt");
  };
  std::string compressedColumns = row.FieldByName("ColumnsFormat").AsString();
  const bool known = cache.layout && compressedColumns == cache.compressed;
  InflateResult columns;
  if (!known) columns = InflateBlob(compressedColumns);
  InflateResult datas = ReadBlobStream(row, "Datas");
  if (columns.damaged || datas.damaged) throw damaged();
  if ((!known && columns.bytes.Empty()) || datas.bytes.Empty()) return;

  if (!known) {
    cache.layout.reset();
    auto layout = std::make_unique<TDataGrid>();
    layout->SetDefaultLayout();
    layout->LoadColumns(columns.bytes.View());
    cache.layout = std::move(layout);
    cache.compressed = std::move(compressedColumns);
  }
  TDataGrid table;
  table.SetDefaultLayout();
  table.FullColumnsStreaming = cache.layout->FullColumnsStreaming;
  table.Columns().Clear();
  for (int c = 0; c < cache.layout->ColCount(); ++c)
    table.Columns().Add().Assign(cache.layout->Columns()[static_cast<size_t>(c)]);
  const TColumnIndexRecord index = MakeColumnIndex(table);
  if (!table.LoadRows(datas.bytes.View())) throw damaged();

  for (int r = 1; r < table.RowCount(); ++r) {
    if (table.IsMarkerRow(r)) continue;
    target.AddFromRow(ref, table, index, r);
  }
}

}  // namespace dz
