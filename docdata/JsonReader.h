#pragma once
// The two readers behind TFastJSON::Parse.
//
// ParseBySplitting is the rule the host's files are written for: trim, split at the
// separators outside strings and brackets, and decide each piece by its first and last
// character. It walks the text once per nesting level and copies nothing it need not.
//
// ParseSinglePass reads the same dialect in one pass. It accepts only texts whose every
// piece it can decide on the spot and gives up (returns false, leaving a partial tree for
// the caller to clear) at anything unusual: an error, an empty piece, text after a
// string, an unknown word. Whenever it succeeds the splitting reader builds the same
// tree, which the fuzz target checks; whenever it gives up the splitting reader decides.

#include <string>
#include <string_view>

#include "docdata/FastJSON.h"

namespace dz {

// Nesting deeper than this fails the parse: the readers recurse per level, and a hostile
// file must not exhaust the stack of the loading thread.
constexpr int kJsonMaxDepth = 200;

// Both start from a cleared root. ParseBySplitting raises on failure.
void ParseBySplitting(std::string_view text, TFastJSON& root);
bool ParseSinglePass(std::string_view text, TFastJSON& root);

// The string unescaping of the dialect (raises "InvalidHexNumber").
std::string JsonUnescape(std::string_view inside);

// Text rendering of a tree that shows every kind, name and value exactly (numbers with
// all their bits), for comparing trees in tests and fuzzing.
std::string DescribeJsonTree(const TFastJSON& root);

}  // namespace dz
