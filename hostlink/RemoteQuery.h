#pragma once
// SQL queries run by the host: the request goes out with "ANYQUERY", the host answers
// with the field list and writes the records to a file named in the request.
//
// Ownership: the returned data set belongs to the caller; it is always returned.
// Failures are values: `errorText` is empty on success and otherwise holds the reason
// ("Error: " and the host's message; "Error: Der IPC Server antwortet nicht" when no
// attempt got its reply complete, whatever file exists; a missing result file, named,
// when the host answered with a field list; or a reader's message for a damaged result
// file). The caller must check it before using the
// data set. Nothing here raises. The result file is gone when the call returns.

#include <memory>
#include <string>

#include "hostlink/VirtualDataSet.h"

namespace dz {

// `dbFolder` empty: asked of the host with "DBPATH". `onRecord` sees every record as soon
// as it is read (see TVirtualDataSet::SetRecordObserver), before the call has decided
// whether it succeeds.
std::unique_ptr<TVirtualDataSet> RunRemoteQuery(
    const std::string& sql, const std::string& dbFolder, std::string& errorText,
    const TVirtualDataSet::RecordObserver& onRecord = {});

// A fresh result file path: "<MVTempDir>/<PJW hash of a new upper-case GUID>", no
// extension. Empty when the folder cannot be had.
std::string NewResultFilePath();

// The database folder as the host expects it in a request: with a trailing delimiter
// (none added to empty text), absolute.
std::string RequestDatabaseFolder(const std::string& folder);

}  // namespace dz
