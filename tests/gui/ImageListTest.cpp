// The grid's image list: ten distinct 16 x 16 pictures, the used ones in their colours.

#include <QImage>
#include <QTest>

#include "ui/ImageList.h"

using namespace dz;

namespace {

// The average colour of the opaque pixels.
QColor MeanColour(const QImage& image) {
  long r = 0, g = 0, b = 0, n = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QColor c = image.pixelColor(x, y);
      if (c.alpha() < 200) continue;
      r += c.red();
      g += c.green();
      b += c.blue();
      ++n;
    }
  return n ? QColor(r / n, g / n, b / n) : QColor(Qt::transparent);
}

}  // namespace

class ImageListTest : public QObject {
  Q_OBJECT

 private slots:
  void TenDistinctPictures() {
    const TImageList list = GridImageList();
    QCOMPARE(list.Count(), 10);
    QCOMPARE(list.Width(), 16);
    QCOMPARE(list.Height(), 16);
    QList<QImage> seen;
    for (int i = 0; i < list.Count(); ++i) {
      const QImage image = list.Image(i).toImage();
      QCOMPARE(image.size(), QSize(16, 16));
      QVERIFY2(MeanColour(image).alpha() > 0, qPrintable(QString::number(i)));
      for (const QImage& other : seen) QVERIFY(image != other);
      seen << image;
    }
    QVERIFY(list.Image(10).isNull());
    QVERIFY(list.Image(-1).isNull());
  }

  void UsedPicturesHaveTheirColours() {
    const TImageList list = GridImageList();
    const QColor green = MeanColour(list.Image(1).toImage());
    const QColor red = MeanColour(list.Image(2).toImage());
    const QColor blue = MeanColour(list.Image(9).toImage());
    QVERIFY(green.green() > green.red() && green.green() > green.blue());
    QVERIFY(red.red() > red.green() && red.red() > red.blue());
    QVERIFY(blue.blue() > blue.red() && blue.blue() > blue.green());
  }
};

QTEST_MAIN(ImageListTest)
#include "ImageListTest.moc"
