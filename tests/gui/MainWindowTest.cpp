// The main window's workflow with loads it controls: starting on show, F5 while a load
// runs, failures to start, Escape, closing while a load runs, and its fixed set-up. Every
// test runs with TMPDIR in its own folder and no host, so the window's host calls find
// nothing and answer empty.

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "docdata/Exception.h"
#include "tests/support/Gate.h"
#include "tests/support/ScriptedServer.h"
#include "ui/LiveImportFrm.h"
#include "ui/ViewDataGrid.h"
#include "ui/Wave.h"

using namespace dz;
using dz::test::Gate;

namespace {

constexpr int kLong = 60000;  // only ever reached when something is broken

// What the loads of one test did.
struct Loads {
  std::atomic<int> made{0};
  std::atomic<int> finished{0};
  std::atomic<int> freed{0};
};

class GatedRun : public TLoadRun {
 public:
  GatedRun(Loads& loads, Gate* gate, std::string failure)
      : loads_(loads), gate_(gate), failure_(std::move(failure)) {}
  ~GatedRun() override { ++loads_.freed; }
  void Run(bool) override {
    if (gate_) gate_->Pass();
    ++loads_.finished;
    if (!failure_.empty()) throw Exception(failure_);
  }

 private:
  Loads& loads_;
  Gate* gate_;
  std::string failure_;
};

TLoadRunFactory Factory(Loads& loads, Gate* gate = nullptr, std::string failure = {}) {
  return [&loads, gate, failure] {
    ++loads.made;
    return std::make_unique<GatedRun>(loads, gate, failure);
  };
}

template <typename T>
T* Child(QWidget& window, const char* name) {
  T* child = window.findChild<T*>(QString::fromLatin1(name));
  if (!child) qFatal("no component %s", name);
  return child;
}

int Plays(TWave* wave) {
  return wave->property("plays").toInt();
}

// Counts the plays of both sounds in a property of each.
void CountPlays(QWidget& window) {
  for (const char* name : {"WaveDown", "WaveBusy"}) {
    TWave* wave = Child<TWave>(window, name);
    wave->OnPlay = [](TWave& w) { w.setProperty("plays", w.property("plays").toInt() + 1); };
  }
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { temp_ = std::make_unique<test::ScopedTempFolder>(); }
  void cleanup() {
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    temp_.reset();
  }

  void Components_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::newRow("copy button") << "FlatSpeedButton1"
                                 << "Kopieren";
    QTest::newRow("send button") << "FMV"
                                 << "Senden";
    QTest::newRow("info line") << "HLC"
                               << "Marvella";
    QTest::newRow("top text") << "HTOP"
                              << "Es werden <B>nicht berechnete Positionen</B> angezeigt. "
                                 "Gundlage ist ein<br><B>verbundenes Angebot/Auftragsbestätigung"
                                 "</B> mit <b>allen Positionen</b>.";
  }
  void Components() {
    QFETCH(QString, name);
    QFETCH(QString, text);
    Loads loads;
    TLiveImportFrm window(Factory(loads));
    QObject* child = window.findChild<QObject*>(name);
    QVERIFY(child);
    if (auto* label = qobject_cast<QLabel*>(child))
      QCOMPARE(label->text(), text);
    else
      QCOMPARE(qobject_cast<QToolButton*>(child)->text(), text);
  }

  void FixedSetUp() {
    Loads loads;
    TLiveImportFrm window(Factory(loads));
    QCOMPARE(window.windowTitle(), QString("Dirivararez"));
    QCOMPARE(window.size(), QSize(731, 487));
    QCOMPARE(Child<QToolButton>(window, "FAUTO")->toolTip(), QString("F5"));
    QCOMPARE(Child<QWidget>(window, "PTOP")->height(), 49);
    QCOMPARE(Child<QWidget>(window, "Panel1")->height(), 23);
    QCOMPARE(Child<QWidget>(window, "Panel2")->width(), 229);
    auto* error = Child<QWidget>(window, "ErrorPanel");
    QVERIFY(error->isHidden());
    QCOMPARE(error->geometry(), QRect(20, 72, 409, 85));
    QStringList entries;
    for (QAction* a : Child<QMenu>(window, "oxPopupMenu1")->actions())
      entries << a->objectName() + "=" + (a->isSeparator() ? QString("-") : a->text());
    QCOMPARE(entries, QStringList({"Kopieren1=Kopieren", "N1=-", "Fehlende1=Fehlende",
                                   "InhaltANAB1=Inhalt AN/AB",
                                   "Gleichezusammengefasst1=Gleiche zusammengefasst",
                                   "AllePostionen1=Alle Postionen"}));
    QCOMPARE(loads.made.load(), 0);  // nothing loads before the window is shown
  }

  void NoHostCentresTheWindow() {
    Loads loads;
    TLiveImportFrm window(Factory(loads));
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const QSize size = window.frameGeometry().size();
    QCOMPARE(window.pos(), QPoint((area.x() + area.width()) / 2 - size.width() / 2,
                                  (area.y() + area.height()) / 2 - size.height() / 2));
  }

  void ShowingStartsOneLoadAndReportsTheTime() {
    Loads loads;
    TLiveImportFrm window(Factory(loads));
    CountPlays(window);
    window.show();
    QCOMPARE(loads.made.load(), 0);  // posted, not sent
    QTRY_VERIFY_WITH_TIMEOUT(loads.finished.load() == 1 && !window.IsLoading(), kLong);
    QVERIFY(window.LastRun());
    QCOMPARE(loads.made.load(), 1);
    QCOMPARE(Plays(Child<TWave>(window, "WaveDown")), 1);
    QVERIFY(Child<QWidget>(window, "ErrorPanel")->isHidden());
    const QString time = Child<QLabel>(window, "HLC")->text();
    QVERIFY2(time.endsWith(" s.") && time.contains(','), qPrintable(time));
  }

  void F5DuringALoadOnlyPlaysTheBusyCue() {
    Loads loads;
    Gate gate;
    TLiveImportFrm window(Factory(loads, &gate));
    CountPlays(window);
    window.show();
    QTRY_VERIFY_WITH_TIMEOUT(window.IsLoading(), kLong);
    QCOMPARE(Child<QLabel>(window, "HLC")->text(), QString(".."));
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);

    window.Grid()->setFocus();
    for (int i = 0; i < 3; ++i) QTest::keyClick(window.Grid(), Qt::Key_F5);
    QTest::mouseClick(Child<QToolButton>(window, "FAUTO"), Qt::LeftButton);
    QCoreApplication::processEvents();
    QCOMPARE(Plays(Child<TWave>(window, "WaveBusy")), 4);
    QCOMPARE(loads.made.load(), 1);
    QVERIFY(window.IsLoading());

    gate.Open();
    QTRY_VERIFY_WITH_TIMEOUT(!window.IsLoading(), kLong);
    QCoreApplication::processEvents();
    QCOMPARE(loads.made.load(), 1);  // nothing was queued behind the running load
    QCOMPARE(Plays(Child<TWave>(window, "WaveDown")), 1);

    QTest::keyClick(window.Grid(), Qt::Key_F5);  // idle again: F5 loads
    QTRY_COMPARE_WITH_TIMEOUT(loads.finished.load(), 2, kLong);
    QTRY_VERIFY_WITH_TIMEOUT(!window.IsLoading(), kLong);
  }

  void AFailedRunShowsTheRedPanelAndEmptiesTheCaption() {
    Loads loads;
    TLiveImportFrm window(Factory(loads, nullptr, "Kein Auftrag <i>offen</i>"));
    CountPlays(window);
    window.show();
    QTRY_COMPARE_WITH_TIMEOUT(loads.finished.load(), 1, kLong);
    QTRY_VERIFY_WITH_TIMEOUT(!window.IsLoading(), kLong);
    QVERIFY(Child<QWidget>(window, "ErrorPanel")->isVisible());
    QCOMPARE(Child<QLabel>(window, "ErrorLabel")->text(),
             QString("Fehler:<br><b>Kein Auftrag <i>offen</i>"));
    QCOMPARE(window.windowTitle(), QString());
    QCOMPARE(window.Grid()->RowCount(), 2);
    QCOMPARE(Plays(Child<TWave>(window, "WaveDown")), 1);
  }

  void AFailureToStartShowsTheRedPanel() {
    int calls = 0;
    TLiveImportFrm window([&calls]() -> std::unique_ptr<TLoadRun> {
      ++calls;
      throw Exception("Kein Thread");
    });
    window.show();
    QTRY_COMPARE_WITH_TIMEOUT(calls, 1, kLong);
    QCOMPARE(Child<QLabel>(window, "ErrorLabel")->text(), QString("Fehler:<br><b>Kein Thread"));
    QVERIFY(Child<QWidget>(window, "ErrorPanel")->isVisible());
    QVERIFY(!window.IsLoading());
    // The next attempt hides the panel first and fails the same way.
    window.PostStartLoad();
    QTRY_COMPARE_WITH_TIMEOUT(calls, 2, kLong);
    QVERIFY(Child<QWidget>(window, "ErrorPanel")->isVisible());
  }

  void EscapeClosesTheWindowFromTheGrid() {
    Loads loads;
    TLiveImportFrm window(Factory(loads));
    window.show();
    QTRY_VERIFY_WITH_TIMEOUT(loads.finished.load() == 1 && !window.IsLoading(), kLong);
    window.Grid()->setFocus();
    QTest::keyClick(window.Grid(), Qt::Key_Escape);
    QVERIFY(!window.isVisible());
  }

  // The window goes at once; its load is abandoned, and the result that still comes is
  // freed without reaching the window that is gone.
  void ClosingDuringALoadAbandonsIt() {
    Loads loads;
    Gate gate;
    int downPlays = 0;
    std::thread opener;
    {
      auto window = std::make_unique<TLiveImportFrm>(Factory(loads, &gate));
      Child<TWave>(*window, "WaveDown")->OnPlay = [&downPlays](TWave&) { ++downPlays; };
      window->show();
      // The run has started (not only been queued): it waits at the gate.
      QTRY_VERIFY_WITH_TIMEOUT(window->IsLoading() && gate.Arrived() == 1, kLong);
      // This run cannot be cut short; it ends while the window is being destroyed.
      opener = std::thread([&gate] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        gate.Open();
      });
      window.reset();
    }
    opener.join();
    // The abandoned run ends on its own thread some time after the gate opens.
    QTRY_COMPARE_WITH_TIMEOUT(loads.freed.load(), 1, kLong);
    QCOMPARE(loads.finished.load(), 1);
    QCOMPARE(downPlays, 0);
  }

 private:
  std::unique_ptr<test::ScopedTempFolder> temp_;
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
