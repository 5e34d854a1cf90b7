#pragma once
// The rubber band of the position grid (TRubber): a rectangle dragged with the left mouse
// button that selects the rows it touches when the button is released.
//
// The band knows nothing of rows: the grid hands it two callbacks, one that empties the
// selection and one that adds the rows hit by a rectangle. Coordinates are the grid's
// viewport pixels. Owned by the grid; nothing here throws.

#include <QPoint>
#include <functional>

class QPainter;

namespace dz {

// An edge rectangle: Right and Bottom are coordinates of the far edges, so the width is
// Right - Left. Normalised rectangles have Left <= Right and Top <= Bottom.
struct TEdgeRect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
  bool Empty() const { return Right == Left || Bottom == Top; }
  bool operator==(const TEdgeRect&) const = default;
  // The normalised rectangle spanned by two points.
  static TEdgeRect Span(QPoint a, QPoint b);
};

class TRubber {
 public:
  using ClearFn = std::function<void()>;
  using SelectFn = std::function<void(const TEdgeRect&)>;

  TRubber(ClearFn clearSelection, SelectFn selectRows)
      : FClear(std::move(clearSelection)), FSelect(std::move(selectRows)) {}

  bool Active() const { return FActive; }
  bool Additive() const { return FAdditive; }
  // The rectangle drawn over the grid; empty when nothing is to be drawn.
  const TEdgeRect& Drawn() const { return FDrawn; }

  // Left button down (without Ctrl): `additive` keeps the former selection on release.
  void Start(QPoint pointer, bool additive);
  // Pointer moved while active. True when the pointer has left the drag threshold around
  // the point of the last repaint, so the grid should repaint (that point is then moved).
  bool Move(QPoint pointer, int dragThreshold);
  // Left button up while active: clears the selection unless additive, then adds the rows
  // hit by the spanned rectangle. The drawn rectangle becomes empty.
  void End();

  // Blends the drawn rectangle over what the grid painted and frames it.
  void Paint(QPainter& painter) const;

 private:
  ClearFn FClear;
  SelectFn FSelect;
  bool FActive = false;
  bool FAdditive = false;
  QPoint FOrigin;
  QPoint FCurrent;
  TEdgeRect FDrawn;
  QPoint FLastRepaint;
};

}  // namespace dz
