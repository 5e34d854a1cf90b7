#include "ui/WindowPlacement.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdint>
#include <string>
#include <vector>

namespace dz {

namespace {

// Right and bottom edges count as the first pixel outside the rectangle, as the host's
// coordinates do.
int RightEdge(const QRect& r) {
  return r.x() + r.width();
}
int BottomEdge(const QRect& r) {
  return r.y() + r.height();
}

// Leading blanks, an optional sign and decimal digits, nothing after them; anything else
// (or a value beyond 32 bits) reads as 0.
int32_t IntOrZero(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  text.remove_prefix(i);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  int32_t value = 0;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc() || ptr != end || text.empty()) return 0;
  return value;
}

// The position plus the 50-pixel offset, kept inside the range of a coordinate.
int Offset(int32_t value) {
  const int64_t moved = static_cast<int64_t>(value) + 50;
  return static_cast<int>(std::min<int64_t>(moved, INT_MAX));
}

std::vector<std::string_view> SplitParts(std::string_view text, size_t maxParts) {
  std::vector<std::string_view> parts;
  while (parts.size() + 1 < maxParts) {
    const size_t comma = text.find(',');
    if (comma == std::string_view::npos) break;
    parts.push_back(text.substr(0, comma));
    text.remove_prefix(comma + 1);
  }
  parts.push_back(text);
  return parts;
}

int64_t DistanceSquared(const QRect& r, QPoint p) {
  const int64_t dx =
      p.x() < r.x() ? r.x() - p.x() : (p.x() >= RightEdge(r) ? p.x() - RightEdge(r) + 1 : 0);
  const int64_t dy =
      p.y() < r.y() ? r.y() - p.y() : (p.y() >= BottomEdge(r) ? p.y() - BottomEdge(r) + 1 : 0);
  return dx * dx + dy * dy;
}

}  // namespace

QRect NearestMonitor(const QList<QRect>& monitors, QPoint point) {
  QRect best;
  int64_t bestDistance = INT64_MAX;
  for (const QRect& m : monitors) {
    const int64_t d = DistanceSquared(m, point);
    if (d < bestDistance) {
      bestDistance = d;
      best = m;
    }
  }
  return best;
}

QPoint PlaceWindow(std::string_view metrics, QPoint current, QSize size, const QRect& workArea,
                   const QList<QRect>& monitors) {
  int left = current.x();
  int top = current.y();
  if (metrics.empty()) {
    left = RightEdge(workArea) / 2 - size.width() / 2;
    top = BottomEdge(workArea) / 2 - size.height() / 2;
  } else {
    const std::vector<std::string_view> parts = SplitParts(metrics, 4);
    if (!parts[0].empty()) left = Offset(IntOrZero(parts[0]));
    if (parts.size() > 1 && !parts[1].empty()) top = Offset(IntOrZero(parts[1]));
  }
  // Only the horizontal position is corrected; the height stays where the host's point
  // puts it.
  const QRect monitor = NearestMonitor(monitors, QPoint(left, top));
  if (!monitor.isNull()) {
    if (RightEdge(monitor) < left + size.width())
      left = RightEdge(monitor) - size.width();
    else if (left < monitor.x())
      left = monitor.x();
  }
  return QPoint(left, top);
}

}  // namespace dz
