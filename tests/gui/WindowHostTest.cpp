// The main window against a real host stand-in serving the sample data: a load and its
// four sections, the error without a host, reloading with the current cell kept, the
// menu jumps, copying to the clipboard and sending positions into the host's open
// document. Every test has its own TMPDIR (server list, sockets, result files) and its
// own seeded database folder inside it.

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <memory>
#include <string>
#include <vector>

#include "docdata/Cp1252.h"
#include "docdata/DataGridLine.h"
#include "docdata/Exception.h"
#include "docdata/MVJSONObject.h"
#include "engine/SuperStack.h"
#include "output/ClipboardExport.h"
#include "output/SendToHost.h"
#include "platform/ChildProcess.h"
#include "tests/support/HostsimProcess.h"
#include "tests/support/ScriptedServer.h"
#include "ui/ClipboardWriter.h"
#include "ui/FSB_BOX.h"
#include "ui/LiveImportFrm.h"
#include "ui/ViewDataGrid.h"
#include "ui/Wave.h"

using namespace dz;

namespace {

constexpr int kLong = 60000;  // only ever reached when something is broken

QString Q(const std::string& cp1252) {
  return QString::fromStdU16String(Cp1252ToUtf16(cp1252));
}

QByteArray Bytes(const std::string& s) {
  return QByteArray(s.data(), qsizetype(s.size()));
}

// Waits until the window has shown the result of a load other than `before`.
bool WaitForLoad(TLiveImportFrm& window, const TLoadRun* before) {
  return QTest::qWaitFor(
      [&] { return !window.IsLoading() && window.LastRun() && window.LastRun() != before; }, kLong);
}

// The message boxes that open while `action` runs, each closed at once; their texts.
struct Box {
  QString text;
  QString caption;
};
std::vector<Box> BoxesDuring(const std::function<void()>& action) {
  std::vector<Box> boxes;
  QTimer watcher;
  QObject::connect(&watcher, &QTimer::timeout, [&boxes] {
    if (auto* box = qobject_cast<TFSB_BOX*>(QApplication::activeModalWidget())) {
      boxes.push_back({box->MessageLabel()->text(), box->windowTitle()});
      box->reject();
    }
  });
  watcher.start(10);
  action();
  return boxes;
}

}  // namespace

class WindowHostTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { QApplication::setApplicationName("Dirivararez"); }

  void init() {
    temp_ = std::make_unique<test::ScopedTempFolder>();
    db_ = temp_->path() + "db";
    ChildProcess seed;
    std::string error;
    ChildProcess::Options quiet;
    quiet.quiet = true;
    QVERIFY2(seed.Start(test::HostsimProcess::ProgramPath(), {"seed", "--dir", db_}, quiet, &error),
             error.c_str());
    QVERIFY(seed.Wait(kLong));
    QCOMPARE(seed.ExitCode(), 0);
  }
  void cleanup() {
    host_.reset();
    temp_.reset();
  }

  void LoadFillsTheFourSectionsInOrder() {
    StartHost();
    auto window = OpenLoaded();
    QVERIFY(window->findChild<QWidget*>("ErrorPanel")->isHidden());
    TSuperStack* stack = window->Stack();
    QVERIFY(stack);
    QVERIFY(!stack->CaptionText().empty());
    QCOMPARE(window->windowTitle(), Q(stack->CaptionText()));
    QVERIFY(window->findChild<QLabel*>("HLC")->text().endsWith(" s."));

    TViewDataGrid& grid = *window->Grid();
    struct Section {
      int row;
      const char* info;
      TLineStorage* storage;
      const char* image;
      bool sum;
    };
    const Section sections[] = {
        {window->MissingRow(), "Fehlend", &stack->Missing(), "2", false},
        {window->SourceRow(), "Quelle", &stack->Source(), "1", true},
        {window->MergedRow(), "Komprimiert", &stack->Merged(), "", false},
        {window->InvoicedRow(), "Alle", &stack->Invoiced(), "", true},
    };
    QCOMPARE(sections[0].row, 1);
    // The sample has something missing, something merged and two invoices.
    for (const Section& s : sections) QVERIFY2(s.storage->Count() > 0, s.info);
    int row = 1;
    for (const Section& s : sections) {
      QCOMPARE(s.row, row);
      QCOMPARE(grid.Cell(TViewDataGrid::ColInfo, row), std::string(s.info));
      ++row;
      for (int i = 0; i < s.storage->Count(); ++i, ++row) {
        QCOMPARE(grid.StorageOfRow(row), s.storage);
        QCOMPARE(grid.EntryOfRow(row), &s.storage->Entry(i));
        QCOMPARE(grid.Cell(TViewDataGrid::ColImage, row), std::string(s.image));
      }
      if (s.sum) {
        QCOMPARE(grid.Cell(TViewDataGrid::ColDescription, row), std::string("Summe"));
        QVERIFY(!grid.LineOfRow(row));
        ++row;
      }
    }
    QCOMPARE(grid.RowCount(), row);
  }

  void WithoutHostTheRedPanelShowsTheConnectionError() {
    auto window = OpenLoaded();
    QVERIFY(window->findChild<QWidget*>("ErrorPanel")->isVisible());
    QCOMPARE(window->findChild<QLabel*>("ErrorLabel")->text(),
             "Fehler:<br><b>" + Q(kNoHostMessage));
    QCOMPARE(window->windowTitle(), QString());
    QCOMPARE(window->Grid()->RowCount(), 2);
  }

  void ReloadKeepsTheCurrentCellWhileItExists() {
    StartHost();
    auto window = OpenLoaded();
    TViewDataGrid& grid = *window->Grid();
    const int row = window->SourceRow() + 2;
    QVERIFY(grid.SetCurrentCell(TViewDataGrid::ColPartNo, row));
    grid.ClearSelection();

    const TLoadRun* first = window->LastRun();
    QTest::keyClick(&grid, Qt::Key_F5);
    QVERIFY(WaitForLoad(*window, first));
    QCOMPARE(grid.CurrentRow(), row);
    QCOMPARE(grid.CurrentCol(), int(TViewDataGrid::ColPartNo));
    QCOMPARE(grid.SelectedRows(), std::vector<int>{row});

    // The next load fails: its empty grid has no such row, and nothing is restored.
    host_.reset();
    const TLoadRun* second = window->LastRun();
    QTest::keyClick(&grid, Qt::Key_F5);
    QVERIFY(WaitForLoad(*window, second));
    QCOMPARE(grid.RowCount(), 2);
    QVERIFY(grid.CurrentRow() < 2);
    QVERIFY(grid.SelectedRows().empty());
  }

  void MenuEntriesJumpToTheirSections() {
    StartHost();
    auto window = OpenLoaded();
    TViewDataGrid& grid = *window->Grid();
    QVERIFY(grid.SetCurrentCell(TViewDataGrid::ColQuantity, 2));
    const std::pair<const char*, int> jumps[] = {
        {"AllePostionen1", window->InvoicedRow()},
        {"InhaltANAB1", window->SourceRow()},
        {"Gleichezusammengefasst1", window->MergedRow()},
        {"Fehlende1", window->MissingRow()},
    };
    for (const auto& [entry, row] : jumps) {
      window->findChild<QAction*>(entry)->trigger();
      QCOMPARE(grid.CurrentRow(), row);
      QCOMPARE(grid.CurrentCol(), int(TViewDataGrid::ColQuantity));
    }
  }

  void CopyPutsEveryFormatOnTheClipboardInRowOrder() {
    StartHost();
    auto window = OpenLoaded();
    TViewDataGrid& grid = *window->Grid();
    const std::vector<int> picked = {window->SourceRow() + 3, window->MissingRow() + 1,
                                     window->SourceRow(), window->SourceRow() + 1};
    grid.ClearSelection();
    for (int row : picked) grid.AddToSelection(row);

    QApplication::clipboard()->clear();
    QTest::mouseClick(window->findChild<QToolButton*>("FlatSpeedButton1"), Qt::LeftButton);
    QVERIFY(window->findChild<QWidget*>("ErrorPanel")->isHidden());

    // The three lines in row order; the section row carries none and is left out.
    const std::vector<TDataGridLine*> lines = {grid.LineOfRow(picked[1]), grid.LineOfRow(picked[3]),
                                               grid.LineOfRow(picked[0])};
    for (auto* l : lines) QVERIFY(l);
    QVERIFY(!SystemUID().empty());
    const ClipboardPayload expected = CopySelectedLines(lines, SystemUID());
    QVERIFY(expected.DataGridData.find(SystemUID()) != std::string::npos);

    const QMimeData* data = QApplication::clipboard()->mimeData();
    QVERIFY(data);
    QCOMPARE(data->data("CF_DATAGRIDDATA"), Bytes(expected.DataGridData));
    QCOMPARE(data->data("HTML Format"), Bytes(expected.HTMLFormat));
    QCOMPARE(data->data("CSV"), Bytes(expected.CSV));
    QCOMPARE(data->data("text/html"), Bytes(expected.HTMLUtf8));
    QCOMPARE(data->data("text/csv"), Bytes(expected.CSVUtf8));
    QCOMPARE(data->text(), QString::fromUtf8(Bytes(expected.TextUtf8)));
    // The text blocks follow row order.
    const QString text = data->text();
    qsizetype at = -1;
    for (TDataGridLine* l : lines) {
      const qsizetype next = text.indexOf("Artikelnummer=" + Q(l->Artikelnummer), at + 1);
      QVERIFY(next > at);
      at = next;
    }

    // The menu entry copies the same way.
    QApplication::clipboard()->clear();
    window->findChild<QAction*>("Kopieren1")->trigger();
    QCOMPARE(QApplication::clipboard()->mimeData()->data("CSV"), Bytes(expected.CSV));
  }

  void ACopyWithoutClipboardFails() {
    ClipboardPayload payload;
    try {
      PutOnClipboard(payload, nullptr);
      QFAIL("no failure");
    } catch (const Exception& e) {
      QCOMPARE(Q(e.what()), QString("Zwischenablage kann nicht geöffnet werden"));
    }
  }

  void SendAddsTheSelectedPartsToTheOpenDocumentInSelectionOrder() {
    StartHost();
    auto window = OpenLoaded();
    TViewDataGrid& grid = *window->Grid();
    const std::vector<int> picked = {window->SourceRow() + 4, window->SourceRow() + 1,
                                     window->MissingRow() + 1};
    grid.ClearSelection();
    for (int row : picked) grid.AddToSelection(row);
    const int before = PartCount();

    const auto boxes = BoxesDuring(
        [&] { QTest::mouseClick(window->findChild<QToolButton*>("FMV"), Qt::LeftButton); });
    QVERIFY(boxes.empty());  // a delivered send is silent

    TMVJSONObject document;
    document.Load(db_ + "/open-document.json", false, false);
    QVERIFY(document.IsValid());
    TJsonArray& parts = *document.Positions();
    QCOMPARE(int(parts.Count()), before + 3);
    for (size_t i = 0; i < picked.size(); ++i) {
      const TDataGridLine& sent = *grid.LineOfRow(picked[i]);
      TJsonObject& part = parts.Item(before + int(i)).AsObject();
      QCOMPARE(part.Member("Quantity").AsString(), sent.Stueck);
      QCOMPARE(part.Member("Unit").AsString(), sent.Einheit);
      QCOMPARE(part.Member("Description1").AsString(), sent.Bezeichnung1);
      QCOMPARE(part.Member("Number").AsString(), sent.Artikelnummer);
    }
  }

  void ARefusedSendShowsWhyAndSendsNothing() {
    StartHost("0");
    auto window = OpenLoaded();
    window->Grid()->AddToSelection(window->SourceRow() + 1);
    const int before = PartCount();
    const auto boxes = BoxesDuring(
        [&] { QTest::mouseClick(window->findChild<QToolButton*>("FMV"), Qt::LeftButton); });
    QCOMPARE(int(boxes.size()), 1);
    QCOMPARE(boxes[0].text,
             QString("Dazu muss ein Auftrag in <b>Marvella</b> auf <b>bearbeiten</b> stehen."));
    QCOMPARE(boxes[0].caption, QString("Dirivararez"));
    QCOMPARE(PartCount(), before);
  }

  // Closing the box with a mouse click must leave the program running, and the next
  // refused send must say so again.
  void ClosingTheRefusalWithTheMouseKeepsTheProgram() {
    StartHost("0");
    auto window = OpenLoaded();
    window->Grid()->AddToSelection(window->SourceRow() + 1);
    QSignalSpy quit(qApp, &QCoreApplication::aboutToQuit);
    QSignalSpy lastClosed(qApp, &QGuiApplication::lastWindowClosed);
    for (int round = 0; round < 2; ++round) {
      int shown = 0;
      QTimer watcher;
      QObject::connect(&watcher, &QTimer::timeout, [&] {
        auto* box = qobject_cast<TFSB_BOX*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible()) return;
        ++shown;
        QTest::mouseClick(box->findChild<QPushButton*>("FB_BREAK2"), Qt::LeftButton);
      });
      watcher.start(10);
      QTest::mouseClick(window->findChild<QToolButton*>("FMV"), Qt::LeftButton);
      watcher.stop();
      QCOMPARE(shown, 1);
      QVERIFY(window->isVisible());
      QCOMPARE(lastClosed.count(), 0);
      QCOMPARE(quit.count(), 0);
    }
  }

  // A host that takes the load's "GETJSON" and then says nothing: the window stays with
  // the user. F5 is answered at once (the busy cue) and closing does not wait for the host.
  void ASilentHostHoldsUpNeitherReloadNorClosing() {
    StartHost({}, {"--fault", "GETJSON=silent"});
    auto window = std::make_unique<TLiveImportFrm>();
    int busyCues = 0;
    window->findChild<TWave*>("WaveBusy")->OnPlay = [&busyCues](TWave&) { ++busyCues; };
    window->show();
    QTRY_VERIFY_WITH_TIMEOUT(window->IsLoading(), kLong);
    QTest::qWait(200);  // the load now waits for the host's reply
    QElapsedTimer clock;
    clock.start();
    QTest::keyClick(window->Grid(), Qt::Key_F5);
    QTRY_COMPARE_WITH_TIMEOUT(busyCues, 1, 2000);
    QTest::keyClick(window->Grid(), Qt::Key_Escape);
    QVERIFY(!window->isVisible());
    window.reset();
    QVERIFY2(clock.elapsed() < 3000, QByteArray::number(clock.elapsed()));
  }

 private:
  void StartHost(const std::string& canPost = {}, std::vector<std::string> extra = {}) {
    test::HostsimOptions o;
    o.dir = db_;
    o.document = db_ + "/open-document.json";
    o.canPost = canPost;
    o.extra = std::move(extra);
    host_ = std::make_unique<test::HostsimProcess>(o);
  }

  std::unique_ptr<TLiveImportFrm> OpenLoaded() {
    auto window = std::make_unique<TLiveImportFrm>();
    window->show();
    if (!WaitForLoad(*window, nullptr)) qFatal("the first load did not end");
    return window;
  }

  int PartCount() {
    TMVJSONObject document;
    document.Load(db_ + "/open-document.json", false, false);
    return document.IsValid() ? int(document.Positions()->Count()) : -1;
  }

  std::unique_ptr<test::ScopedTempFolder> temp_;
  std::string db_;
  std::unique_ptr<test::HostsimProcess> host_;
};

QTEST_MAIN(WindowHostTest)
#include "WindowHostTest.moc"
