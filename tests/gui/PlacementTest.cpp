// Where the main window goes, and the load stopwatch's texts: the rules with given monitors
// and counter readings, then the window itself placed by a real host's answer on two
// screens side by side (1024 x 768 and, to its right, 1280 x 1024).

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QScreen>
#include <QTest>
#include <memory>
#include <string>

#include "tests/support/HostsimProcess.h"
#include "tests/support/ScriptedServer.h"
#include "tests/support/TempDir.h"
#include "ui/LiveImportFrm.h"
#include "ui/StopWatch.h"
#include "ui/WindowPlacement.h"

using namespace dz;

namespace {

const QRect kWide(0, 0, 1920, 1080);
const QRect kWorkArea(0, 0, 1920, 1040);  // a task bar at the bottom
const QSize kWindow(731, 487);

}  // namespace

class PlacementTest : public QObject {
  Q_OBJECT

 private slots:
  void Place_data() {
    QTest::addColumn<QString>("metrics");
    QTest::addColumn<QPoint>("current");
    QTest::addColumn<QList<QRect>>("monitors");
    QTest::addColumn<QPoint>("expected");
    const QList<QRect> one{kWide};
    const QList<QRect> two{kWide, QRect(1920, 0, 1280, 1024)};
    const QPoint at(7, 9);
    QTest::newRow("left only keeps top") << "10" << at << one << QPoint(60, 9);
    QTest::newRow("no integer counts as 0") << "abc,1.5" << at << one << QPoint(50, 50);
    QTest::newRow("negative") << "-60,-80" << at << one << QPoint(0, -30);
    QTest::newRow("beyond 32 bits counts as 0") << "99999999999,5" << at << one << QPoint(50, 55);
    QTest::newRow("empty centres in the work area")
        << "" << at << one << QPoint(1920 / 2 - 731 / 2, 1040 / 2 - 487 / 2);
    QTest::newRow("left of the monitor pushed onto it")
        << "-500,100" << at << one << QPoint(0, 150);
    QTest::newRow("point between monitors goes to the nearer")
        << "3300,100" << at << two << QPoint(3200 - 731, 150);
    QTest::newRow("vertical position never corrected")
        << "100,5000" << at << one << QPoint(150, 5050);
    QTest::newRow("no monitors, no correction")
        << "5000,0" << at << QList<QRect>() << QPoint(5050, 50);
  }
  void Place() {
    QFETCH(QString, metrics);
    QFETCH(QPoint, current);
    QFETCH(QList<QRect>, monitors);
    QFETCH(QPoint, expected);
    const std::string m = metrics.toStdString();
    QCOMPARE(PlaceWindow(m, current, kWindow, kWorkArea, monitors), expected);
  }

  void StopWatchTexts_data() {
    QTest::addColumn<qint64>("start");
    QTest::addColumn<qint64>("end");
    QTest::addColumn<QString>("expected");
    QTest::newRow("one and a quarter seconds") << qint64(1000) << qint64(1251000) << "1,2500 s.";
    QTest::newRow("rounded to four places") << qint64(1) << qint64(123457) << "0,1235 s.";
    QTest::newRow("start reading zero") << qint64(0) << qint64(5000) << "Kein Ergebnis";
    QTest::newRow("start reading negative") << qint64(-3) << qint64(5000) << "Kein Ergebnis";
  }
  void StopWatchTexts() {
    QFETCH(qint64, start);
    QFETCH(qint64, end);
    QFETCH(QString, expected);
    test::ScopedNumberFormat german;
    QCOMPARE(QString::fromStdString(TStopWatch::ResultText(start, end, 1000000)), expected);
  }

  void StopWatchNeedsAStart() {
    test::ScopedNumberFormat english('.', '\'');
    QCOMPARE(TStopWatch::Stop(), std::string("No StopWatch created!"));
    TStopWatch::Start();
    const std::string text = TStopWatch::Stop();
    QVERIFY2(text.size() > 3 && text.substr(text.size() - 3) == " s." && text.find('.') == 1,
             text.c_str());
    QCOMPARE(TStopWatch::Stop(), std::string("No StopWatch created!"));
  }

  // The host's answer as the window receives it; no answer at all when empty (no host).
  void WindowOnTwoScreens_data() {
    QTest::addColumn<QString>("metrics");
    QTest::addColumn<QPoint>("expected");
    QTest::newRow("left and top") << "100,200,1200,800" << QPoint(150, 250);
    QTest::newRow("top only") << ",300" << QPoint(0, 350);
    QTest::newRow("past the first screen's right edge") << "900,10" << QPoint(1024 - 731, 60);
    QTest::newRow("inside the second screen") << "1500,10" << QPoint(1550, 60);
    QTest::newRow("past the second screen's right edge")
        << "2000,10" << QPoint(1024 + 1280 - 731, 60);
  }
  void WindowOnTwoScreens() {
    QFETCH(QString, metrics);
    QFETCH(QPoint, expected);
    QCOMPARE(QGuiApplication::screens().size(), 2);
    test::ScopedTempFolder temp;
    test::HostsimOptions options;
    options.metrics = metrics.toStdString();
    options.dir = temp.path();
    test::HostsimProcess host(options);
    TLiveImportFrm window([] { return std::unique_ptr<TLoadRun>(); });
    QCOMPARE(window.frameGeometry().width(), 731);
    QCOMPARE(window.pos(), expected);
  }

  void WindowWithoutHostIsCentred() {
    test::ScopedTempFolder temp;
    TLiveImportFrm window([] { return std::unique_ptr<TLoadRun>(); });
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    QCOMPARE(window.pos(), QPoint((area.x() + area.width()) / 2 - 731 / 2,
                                  (area.y() + area.height()) / 2 - 487 / 2));
  }
};

int main(int argc, char** argv) {
  // The offscreen platform takes its screens from a file.
  test::TempDir dir;
  QFile config(QString::fromStdString(dir.file("screens.json")));
  if (!config.open(QIODevice::WriteOnly)) return 1;
  config.write(R"({"screens": [
      {"name": "left", "x": 0, "y": 0, "width": 1024, "height": 768, "logicalDpi": 96},
      {"name": "right", "x": 1024, "y": 0, "width": 1280, "height": 1024, "logicalDpi": 96}]})");
  config.close();
  // Qt cuts the platform's options at every colon, a drive letter's too ("C:\..."): the file
  // is named relative to the working folder, which is that folder while the platform starts.
  const QString working = QDir::currentPath();
  if (!QDir::setCurrent(QString::fromStdString(dir.path()))) return 1;
  qputenv("QT_QPA_PLATFORM", "offscreen:configfile=screens.json");
  QApplication app(argc, argv);
  QDir::setCurrent(working);
  PlacementTest test;
  return QTest::qExec(&test, argc, argv);
}
#include "PlacementTest.moc"
