#pragma once
// Where the main window goes: 50 pixels right of and below the point that the host reports
// for its own window ("MARVELLAMETRICS"), or in the middle of the work area when the host
// gives nothing, then kept horizontally on the nearest monitor. Pure geometry, so every
// case can be checked without screens or a host.

#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <string_view>

namespace dz {

// `metrics` is the host's answer (8-bit text, comma-separated; only the first two parts
// are used). `current` is the window's position before placing (kept for a part that is
// empty), `size` its outer size, `workArea` the desktop work area, `monitors` the
// geometries of all monitors (none: no correction). A part that is no integer counts as 0.
QPoint PlaceWindow(std::string_view metrics, QPoint current, QSize size, const QRect& workArea,
                   const QList<QRect>& monitors);

// The monitor nearest to `point` (the one containing it, else the closest); an empty
// rectangle when there is none.
QRect NearestMonitor(const QList<QRect>& monitors, QPoint point);

}  // namespace dz
