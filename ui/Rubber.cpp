#include "ui/Rubber.h"

#include <QColor>
#include <QPainter>
#include <algorithm>
#include <cstdlib>

namespace dz {

namespace {

// The band's colour; the fill is blended at half opacity so the rows stay readable.
constexpr QRgb kBandColour = 0xff316ac5;  // RGB(49,106,197)
constexpr int kBandOpacity = 127;

}  // namespace

TEdgeRect TEdgeRect::Span(QPoint a, QPoint b) {
  return TEdgeRect{std::min(a.x(), b.x()), std::min(a.y(), b.y()), std::max(a.x(), b.x()),
                   std::max(a.y(), b.y())};
}

void TRubber::Start(QPoint pointer, bool additive) {
  FActive = true;
  FAdditive = additive;
  FOrigin = FCurrent = FLastRepaint = pointer;
  FDrawn = TEdgeRect{};
}

bool TRubber::Move(QPoint pointer, int dragThreshold) {
  if (!FActive) return false;
  FCurrent = pointer;
  FDrawn = TEdgeRect::Span(FOrigin, FCurrent);
  if (std::abs(pointer.x() - FLastRepaint.x()) > dragThreshold ||
      std::abs(pointer.y() - FLastRepaint.y()) > dragThreshold) {
    FLastRepaint = pointer;
    return true;
  }
  return false;
}

void TRubber::End() {
  if (!FActive) return;
  FActive = false;
  if (!FAdditive && FClear) FClear();
  if (FSelect) FSelect(TEdgeRect::Span(FOrigin, FCurrent));
  FDrawn = TEdgeRect{};
}

void TRubber::Paint(QPainter& painter) const {
  if (FDrawn.Empty()) return;
  const QRect area(FDrawn.Left, FDrawn.Top, FDrawn.Right - FDrawn.Left, FDrawn.Bottom - FDrawn.Top);
  QColor fill = QColor::fromRgb(kBandColour);
  fill.setAlpha(kBandOpacity);
  painter.save();
  painter.fillRect(area, fill);
  painter.setPen(QPen(QColor::fromRgb(kBandColour), 1));
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(area.adjusted(0, 0, -1, -1));
  painter.restore();
}

}  // namespace dz
