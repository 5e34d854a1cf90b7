#include "ui/ImageList.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <functional>

namespace dz {

QPixmap TImageList::Image(int index) const {
  if (index < 0 || index >= Count()) return QPixmap();
  return FImages[index];
}

void TImageList::Draw(QPainter& painter, int x, int y, int index) const {
  if (index < 0 || index >= Count()) return;
  painter.drawPixmap(x, y, FImages[index]);
}

namespace {

constexpr int kSize = 16;

QPixmap Picture(const std::function<void(QPainter&)>& draw) {
  QImage image(kSize, kSize, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  draw(p);
  p.end();
  return QPixmap::fromImage(image);
}

QPen Pen(const QColor& color, double width) {
  return QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void Disc(QPainter& p, const QColor& fill, const QColor& rim) {
  QRadialGradient g(QPointF(6, 5), 10);
  g.setColorAt(0, fill.lighter(135));
  g.setColorAt(1, fill);
  p.setPen(Pen(rim, 1));
  p.setBrush(g);
  p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
}

void Page(QPainter& p) {
  QPainterPath sheet;
  sheet.moveTo(3.5, 1.5);
  sheet.lineTo(10.5, 1.5);
  sheet.lineTo(13.5, 4.5);
  sheet.lineTo(13.5, 14.5);
  sheet.lineTo(3.5, 14.5);
  sheet.closeSubpath();
  p.setPen(Pen(QColor(110, 110, 110), 1));
  p.setBrush(Qt::white);
  p.drawPath(sheet);
  p.drawLine(QPointF(10.5, 1.5), QPointF(10.5, 4.5));
  p.drawLine(QPointF(10.5, 4.5), QPointF(13.5, 4.5));
  p.setPen(Pen(QColor(150, 170, 200), 1));
  for (double y = 7.5; y <= 12.5; y += 2.5) p.drawLine(QPointF(5.5, y), QPointF(11.5, y));
}

void Check(QPainter& p, const QColor& color, double width) {
  p.setPen(Pen(color, width));
  p.setBrush(Qt::NoBrush);
  p.drawPolyline(QPolygonF({QPointF(4, 8.5), QPointF(7, 11.5), QPointF(12, 4.5)}));
}

}  // namespace

TImageList GridImageList() {
  TImageList list(kSize, kSize);
  list.Add(Picture(Page));
  list.Add(Picture([](QPainter& p) {
    Disc(p, QColor(40, 160, 60), QColor(20, 100, 35));
    Check(p, Qt::white, 2);
  }));
  list.Add(Picture([](QPainter& p) {
    Disc(p, QColor(210, 40, 40), QColor(140, 20, 20));
    p.setPen(Pen(Qt::white, 2));
    p.drawLine(QPointF(5.5, 5.5), QPointF(10.5, 10.5));
    p.drawLine(QPointF(10.5, 5.5), QPointF(5.5, 10.5));
  }));
  list.Add(Picture([](QPainter& p) {
    p.setPen(Pen(QColor(150, 110, 0), 1));
    p.setBrush(QColor(250, 200, 30));
    p.drawPolygon(QPolygonF({QPointF(8, 1.5), QPointF(14.5, 14), QPointF(1.5, 14)}));
    p.setPen(Pen(Qt::black, 1.6));
    p.drawLine(QPointF(8, 5.5), QPointF(8, 9.5));
    p.drawPoint(QPointF(8, 12));
  }));
  list.Add(Picture([](QPainter& p) {
    Disc(p, QColor(40, 100, 200), QColor(20, 60, 140));
    p.setPen(Pen(Qt::white, 1.8));
    p.drawPoint(QPointF(8, 4.8));
    p.drawLine(QPointF(8, 7.5), QPointF(8, 11.5));
  }));
  list.Add(Picture([](QPainter& p) {
    p.setPen(Pen(QColor(170, 80, 0), 1));
    p.setBrush(QColor(245, 140, 30));
    p.drawPolygon(QPolygonF({QPointF(2, 6), QPointF(8, 6), QPointF(8, 2.5), QPointF(14, 8),
                             QPointF(8, 13.5), QPointF(8, 10), QPointF(2, 10)}));
  }));
  list.Add(Picture([](QPainter& p) {
    p.setPen(Pen(QColor(70, 70, 70), 1.5));
    p.setBrush(QColor(200, 225, 250));
    p.drawEllipse(QRectF(2, 2, 8, 8));
    p.setPen(Pen(QColor(90, 60, 30), 2.5));
    p.drawLine(QPointF(9.5, 9.5), QPointF(13.5, 13.5));
  }));
  list.Add(Picture([](QPainter& p) {
    QPolygonF star;
    for (int i = 0; i < 10; ++i) {
      const double r = i % 2 ? 3 : 7;
      const double a = -M_PI / 2 + i * M_PI / 5;
      star << QPointF(8 + r * std::cos(a), 8.5 + r * std::sin(a));
    }
    p.setPen(Pen(QColor(170, 120, 0), 1));
    p.setBrush(QColor(255, 210, 50));
    p.drawPolygon(star);
  }));
  list.Add(Picture([](QPainter& p) {
    p.setPen(Pen(QColor(90, 90, 90), 1));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(1.5, 2.5, 13, 11));
    p.fillRect(QRectF(2, 3, 12, 3), QColor(90, 140, 210));
    p.setPen(Pen(QColor(150, 150, 150), 1));
    for (double y = 8.5; y <= 11.5; y += 3) p.drawLine(QPointF(2, y), QPointF(14, y));
    p.drawLine(QPointF(6.5, 6), QPointF(6.5, 13));
    p.drawLine(QPointF(10.5, 6), QPointF(10.5, 13));
  }));
  list.Add(Picture([](QPainter& p) { Check(p, QColor(30, 80, 220), 2.6); }));
  return list;
}

}  // namespace dz
