#include "tools/hostsim/JsonSplice.h"

#include <algorithm>

namespace dz::hostsim {

namespace {

bool Blank(char c) {
  return static_cast<unsigned char>(c) <= 32;
}

std::size_t SkipBlanks(std::string_view t, std::size_t pos) {
  while (pos < t.size() && Blank(t[pos])) ++pos;
  return pos;
}

// Past the string that starts at `pos` (a quote); npos when unclosed.
std::size_t StringEnd(std::string_view t, std::size_t pos) {
  for (std::size_t i = pos + 1; i < t.size(); ++i) {
    if (t[i] == '\\')
      ++i;
    else if (t[i] == '"')
      return i + 1;
  }
  return std::string_view::npos;
}

// Past the bracketed part that starts at `pos`, skipping nested strings and brackets.
std::size_t NestedEnd(std::string_view t, std::size_t pos) {
  std::vector<char> closers;
  for (std::size_t i = pos; i < t.size();) {
    char c = t[i];
    if (c == '"') {
      i = StringEnd(t, i);
      if (i == std::string_view::npos) return i;
      continue;
    }
    if (c == '[') closers.push_back(']');
    if (c == '{') closers.push_back('}');
    if (c == ']' || c == '}') {
      if (closers.empty() || closers.back() != c) return std::string_view::npos;
      closers.pop_back();
      if (closers.empty()) return i + 1;
    }
    ++i;
  }
  return std::string_view::npos;
}

bool SameAscii(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

bool Fail(std::string* error, const std::string& why) {
  if (error) *error = why;
  return false;
}

// Walks the comma-separated items between the brackets of `span`, calling `item` with
// the position where each starts; `item` returns the position after the item or npos.
template <class F>
bool EachItem(std::string_view t, JsonSpan span, F&& item) {
  std::size_t pos = span.begin + 1;
  const std::size_t close = span.end - 1;
  for (;;) {
    pos = SkipBlanks(t, pos);
    if (pos >= close) return pos == close;
    if (t[pos] == ',') {  // a trailing or doubled comma: the host tolerates the former
      ++pos;
      continue;
    }
    pos = item(pos);
    if (pos == std::string_view::npos || pos > close) return false;
    pos = SkipBlanks(t, pos);
    if (pos < close && t[pos] != ',') return false;
  }
}

}  // namespace

bool ValueAt(std::string_view t, std::size_t pos, JsonSpan& value) {
  pos = SkipBlanks(t, pos);
  if (pos >= t.size()) return false;
  std::size_t end;
  char c = t[pos];
  if (c == '"') {
    end = StringEnd(t, pos);
  } else if (c == '[' || c == '{') {
    end = NestedEnd(t, pos);
  } else {
    end = pos;
    while (end < t.size() && t[end] != ',' && t[end] != ']' && t[end] != '}' && !Blank(t[end]))
      ++end;
    if (end == pos) return false;
  }
  if (end == std::string_view::npos) return false;
  value = {pos, end};
  return true;
}

bool FindMember(std::string_view t, JsonSpan object, std::string_view name, JsonSpan& value) {
  if (object.end - object.begin < 2 || t[object.begin] != '{') return false;
  bool found = false;
  bool ok = EachItem(t, object, [&](std::size_t pos) -> std::size_t {
    JsonSpan key, v;
    if (t[pos] != '"' || !ValueAt(t, pos, key)) return std::string_view::npos;
    std::size_t colon = SkipBlanks(t, key.end);
    if (colon >= t.size() || t[colon] != ':') return std::string_view::npos;
    if (!ValueAt(t, colon + 1, v)) return std::string_view::npos;
    if (!found && SameAscii(t.substr(key.begin + 1, key.end - key.begin - 2), name)) {
      value = v;
      found = true;
    }
    return v.end;
  });
  return ok && found;
}

bool Elements(std::string_view t, JsonSpan array, std::vector<JsonSpan>& elements) {
  elements.clear();
  if (array.end - array.begin < 2 || t[array.begin] != '[') return false;
  return EachItem(t, array, [&](std::size_t pos) -> std::size_t {
    JsonSpan v;
    if (!ValueAt(t, pos, v)) return std::string_view::npos;
    elements.push_back(v);
    return v.end;
  });
}

namespace {

// Finds Order[0] of a document; false with a reason.
bool OrderObject(std::string_view t, JsonSpan& order, std::string* error) {
  JsonSpan root, orders;
  std::vector<JsonSpan> items;
  if (!ValueAt(t, 0, root) || t[root.begin] != '{')
    return Fail(error, "the document is not a JSON object");
  if (!FindMember(t, root, "Order", orders) || !Elements(t, orders, items) || items.empty())
    return Fail(error, "the document has no \"Order\" array with an element");
  order = items.front();
  if (t[order.begin] != '{') return Fail(error, "\"Order\"[0] is not an object");
  return true;
}

}  // namespace

bool ImportParts(std::string_view import, std::vector<std::string>& parts, std::string* error) {
  parts.clear();
  JsonSpan order, list;
  if (!OrderObject(import, order, error)) return false;
  if (!FindMember(import, order, "Parts", list)) return true;
  std::vector<JsonSpan> items;
  if (!Elements(import, list, items)) return Fail(error, "\"Parts\" is not an array");
  for (const JsonSpan& s : items) parts.emplace_back(import.substr(s.begin, s.end - s.begin));
  return true;
}

bool AppendParts(std::string& document, const std::vector<std::string>& parts, std::string* error) {
  JsonSpan order, list;
  if (!OrderObject(document, order, error)) return false;
  if (parts.empty()) return true;
  std::string joined;
  for (const std::string& p : parts) {
    if (!joined.empty()) joined += ',';
    joined += p;
  }
  if (FindMember(document, order, "Parts", list)) {
    std::vector<JsonSpan> items;
    if (!Elements(document, list, items)) return Fail(error, "\"Parts\" is not an array");
    if (items.empty())
      document.insert(list.begin + 1, joined);
    else
      document.insert(items.back().end, "," + joined);
    return true;
  }
  // No "Parts" yet: add it as the order's last member.
  std::size_t close = order.end - 1;
  std::size_t last = close;
  while (last > order.begin + 1 && Blank(document[last - 1])) --last;
  bool needComma = last > order.begin + 1 && document[last - 1] != ',';
  document.insert(last, std::string(needComma ? "," : "") + "\"Parts\":[" + joined + "]");
  return true;
}

}  // namespace dz::hostsim
