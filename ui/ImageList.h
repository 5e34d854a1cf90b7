#pragma once
// A list of equally sized pictures drawn by index, and the ten 16 x 16 pictures of the
// position grid.

#include <QList>
#include <QPixmap>

class QPainter;

namespace dz {

class TImageList {
 public:
  TImageList(int width, int height) : FWidth(width), FHeight(height) {}

  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  int Count() const { return static_cast<int>(FImages.size()); }
  // The picture at `index`; a null pixmap for an index outside the list.
  QPixmap Image(int index) const;
  void Add(const QPixmap& image) { FImages.push_back(image); }

  // Draws picture `index` with its top left corner at (x, y); an index outside the list
  // draws nothing.
  void Draw(QPainter& painter, int x, int y, int index) const;

 private:
  int FWidth;
  int FHeight;
  QList<QPixmap> FImages;
};

// The grid's pictures (a QGuiApplication must exist). The grid uses
//   1  a green circle with a check mark (rows of the offer or confirmation, "Alles berechnet")
//   2  a red circle with a cross (missing rows)
//   8  a table sheet (sum rows)
//   9  a blue check mark (drawn beside "Alles berechnet")
// The others are spare: 0 a page, 3 a warning sign, 4 an information sign, 5 an arrow,
// 6 a magnifier, 7 a star.
TImageList GridImageList();

}  // namespace dz
