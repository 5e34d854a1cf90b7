#pragma once
// Reader of the host's "vds" record files: the records of a query result, in the tagged
// value format the host shares with its component streams.
//
// Layout: "TPF0", list begin (1), per record a list begin, one or more groups (a leading
// integer, then per field a null flag - 9 null, 8 a value follows - and the value), end of
// list (0); finally end of list. A later group of the same record overwrites its fields.
// A file of 0 bytes holds no records.
//
// Failures raise dz::Exception:
//   wrong signature        "TXReader.EReadError: SInvalidImage At 0"
//   unexpected value tag   "TXReader.EReadError: SInvalidPropertyValue: <reader text><file
//                          size> At <offset of the tag>", the reader texts being
//                          "TXReader.ReadInteger ReadValue invalid Stream.Size=",
//                          "TXReader.ReadBoolean Stream.Size=",
//                          "TXReader.ReadString ReadValue invalid Stream.Size=",
//                          "TXReader.ReadWideString ReadValue invalid Stream.Size=", and for a
//                          missing list begin or end "TXReader.CheckValue ValueType: <tag>
//                          Stream.Size=" (for a number that no currency or 64-bit integer
//                          can hold: "TXReader.ReadFloat value out of range Stream.Size=")
//   data ends too early    "SReadError"
//   file unreadable        "Error: Die Ergebnisdatei der Abfrage konnte nicht gelesen
//                          werden: <path>" (after 5 attempts, 50 ms apart)
// Records read before a failure stay in the data set; the caller must not use it then.

#include <cstddef>
#include <cstdint>
#include <string>

namespace dz {

class TVirtualDataSet;

class TBinaryStreamFormat {
 public:
  static constexpr int OpenAttempts = 5;
  static constexpr int OpenPauseMs = 50;

  // Maps the file read-only and appends its records to the open data set (whose fields
  // must already exist). Returns the number of records read.
  int LoadFromFile(TVirtualDataSet& dataSet, const std::string& path);
  // The same from bytes in memory.
  int LoadFromBytes(TVirtualDataSet& dataSet, const uint8_t* data, size_t size);
};

}  // namespace dz
