// The host's JSON dialect: text parsing (the single-pass reader must agree with the
// splitting reader whenever it accepts a text), the lookups of the host document, file
// loading with its backup, and the writer's strings read back by the reader.
//
// The first byte chooses the mode, the rest is the input.

#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "docdata/Exception.h"
#include "docdata/FastJSON.h"
#include "docdata/JsonReader.h"
#include "docdata/MVJSON.h"
#include "docdata/MVJSONObject.h"
#include "platform/Platform.h"

namespace {

// A private folder for the files of this process, removed at exit.
struct FuzzDir {
  std::string path;
  FuzzDir() {
    path = dz::TempPath() + "dz-fuzz-json-" + std::to_string(getpid()) + "/";
    mkdir(path.c_str(), 0700);
  }
  ~FuzzDir() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
};

// Parses with the splitting reader alone; "!" when it fails.
std::string Split(std::string_view text) {
  dz::TFastJSON j;
  try {
    dz::ParseBySplitting(text, j);
  } catch (const dz::Exception&) {
    return "!";
  }
  return dz::DescribeJsonTree(j);
}

std::string Parsed(std::string_view text) {
  dz::TFastJSON j;
  try {
    j.Parse(text);
  } catch (const dz::Exception&) {
    return "empty";
  }
  return dz::DescribeJsonTree(j);
}

void ParseText(std::string_view text) {
  dz::TFastJSON fast;
  if (dz::ParseSinglePass(text, fast)) {
    if (dz::DescribeJsonTree(fast) != Split(text)) __builtin_trap();
  }
  // The host document's lookups on whatever the text holds.
  dz::TMVJSONObject doc;
  try {
    doc.Load(std::string(text), true, false);
    if (!doc.IsValid()) return;
    doc.Caption();
    doc.Date();
    doc.DocumentNumber();
    for (size_t i = 0; i < doc.Positions()->Count(); ++i) {
      dz::TJsonValue& p = doc.Positions()->Item(static_cast<int64_t>(i));
      dz::TMVJSONObject::IsPosition(p);
      dz::TDataGridLine line;
      dz::FillLineFromPosition(p, line);
      p.AsObject().Member("ID").AsInteger();
    }
  } catch (const dz::Exception&) {
  }
}

void LoadFiles(std::string_view data) {
  static FuzzDir dir;
  const size_t half = data.size() / 2;
  const std::string mainText(data.substr(0, half)), backupText(data.substr(half));
  const std::string mainPath = dir.path + "doc.json", backupPath = dir.path + "doc.~json";
  dz::WriteWholeFile(mainPath, mainText);
  dz::WriteWholeFile(backupPath, backupText);
  dz::TFastJSON j;
  j.LoadFromFile(mainPath, true, false);
  // The main file up to its first NUL if it parses, else the backup, else nothing.
  std::string expected = Parsed(mainText.substr(0, mainText.find('\0')));
  if (expected == "empty") expected = Parsed(backupText.substr(0, backupText.find('\0')));
  if (dz::DescribeJsonTree(j) != expected) __builtin_trap();
}

void WriteAndRead(std::string_view text) {
  dz::TMVJSON root;
  root.PutString("t", text);
  root.PutNumber("n", static_cast<long double>(text.size()) / 7);
  dz::TFastJSON j;
  j.Parse(dz::GenerateJsonText(root));
  if (j.Member("t").AsString() != text) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  switch (data[0] % 3) {
    case 0:
      ParseText(rest);
      break;
    case 1:
      LoadFiles(rest);
      break;
    default:
      WriteAndRead(rest);
      break;
  }
  return 0;
}
