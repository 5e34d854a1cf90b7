// The position grid: filling from the four storages of a run, references back to lines and
// storages, the selection rules of mouse, rubber band, keys and wheel, the range marker,
// hints, the info line and what ends up on screen.

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QHeaderView>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>

#include "docdata/Cp1252.h"
#include "docdata/NumberFormat.h"
#include "engine/LineStorage.h"
#include "tests/support/TempDir.h"
#include "ui/GridModel.h"
#include "ui/ViewDataGrid.h"

using namespace dz;

namespace {

using G = TViewDataGrid;

std::unique_ptr<TDataGridLine> Line(const std::string& pos, const std::string& desc,
                                    const std::string& qty, const std::string& total = "",
                                    const std::string& partNo = "") {
  auto line = std::make_unique<TDataGridLine>();
  line->Pos = pos;
  line->Bezeichnung1 = desc;
  line->Stueck = qty;
  line->SummeBetrag = total;
  line->Artikelnummer = partNo;
  line->Einheit = "Stk";
  return line;
}

DocumentRef Doc(const std::string& number) {
  DocumentRef ref;
  ref.Number = number;
  return ref;
}

// A small run: Kabel 10 of which 7 are invoiced, Schraube not invoiced, Mutter fully.
struct Run {
  TLineStorage source, invoiced, merged, missing;
  Run() {
    source.Add(Doc("AB-1"), Line("1", "Kabel", "10", "10,00"));
    source.Add(Doc("AB-1"), Line("2", "Mutter", "2", "kein Betrag"));
    source.Add(Doc("AB-1"), Line("3", "Schraube", "5", ""));
    invoiced.Add(Doc("R-1"), Line("1", "Kabel", "4", "4"));
    invoiced.Add(Doc("R-2"), Line("1", "Kabel", "3", "3,5"));
    invoiced.Add(Doc("R-1"), Line("2", "Mutter", "2", "0.25"));
    ComputeViews(source, invoiced, merged, missing);
  }
  TGridSections FillInto(G& grid) {
    grid.Clear();
    return grid.Fill(missing, source, merged, invoiced);
  }
};

// A grid as the window sets it up, shown offscreen.
struct ShownGrid {
  G grid;
  explicit ShownGrid(int height = 600) {
    grid.resize(900, height);
    grid.CreateColumns(900);
    grid.Scale(1.2);
    grid.show();
  }
  QWidget* vp() { return grid.viewport(); }
  QPoint At(int col, int row) {
    return grid.visualRect(grid.Model()->index(row - 1, col)).center();
  }
  std::vector<int> Selected() { return grid.SelectedRows(); }
};

void Wheel(QWidget* target, QPoint pos, int delta) {
  QWheelEvent event(QPointF(pos), QPointF(target->mapToGlobal(pos)), QPoint(), QPoint(0, delta),
                    Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(target, &event);
}

using Rows = std::vector<int>;

}  // namespace

class ViewDataGridTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { format_ = std::make_unique<test::ScopedNumberFormat>(',', '.'); }
  void cleanup() { format_.reset(); }

  void StandardColumns() {
    G grid;
    grid.CreateColumns(800);
    QCOMPARE(grid.ColumnCount(), int(G::StandardColumnCount));
    const char* names[] = {"TColumn-1", "Image", "Position", "Description1", "PartNo",
                           "Quantity",  "Unit",  "INFO",     "LINK",         "RANGE"};
    for (int c = 0; c < G::StandardColumnCount; ++c) {
      QCOMPARE(grid.ColumnIndex(names[c]), c);
      QCOMPARE(grid.ColumnIndex(UpperCase(names[c])), c);
    }
    QCOMPARE(grid.ColumnIndex("nichts"), -1);
    QCOMPARE(grid.Cell(G::ColDescription, 0), std::string("Bezeichnung"));
    QVERIFY(grid.isColumnHidden(G::ColLink));
    QVERIFY(grid.isColumnHidden(G::ColRange));
    QVERIFY(!grid.isColumnHidden(G::ColInfo));
    QCOMPARE(grid.RowCount(), 2);
    grid.Scale(1.2);
    QCOMPARE(grid.columnWidth(G::ColMarks), 12 + 1);  // 1.2 x 10, plus the grid line
  }

  void FillsFourSectionsInOrder() {
    Run run;
    G grid;
    grid.CreateColumns(800);
    QAbstractItemModelTester tester(grid.Model(),
                                    QAbstractItemModelTester::FailureReportingMode::QtTest);
    const TGridSections s = run.FillInto(grid);
    QCOMPARE(s.Missing, 1);
    QCOMPARE(s.Source, 4);
    QCOMPARE(s.Merged, 9);
    QCOMPARE(s.Invoiced, 12);

    const std::string section = "\x81 p", sum = "\x81 g";
    struct Expect {
      std::string marks, image, desc, qty, info;
    };
    const std::vector<Expect> rows = {
        {},  // title row, not compared
        {section, "", "Diese wurden nicht berechnet", "", "Fehlend"},
        {"", "2", "Kabel", "3,000 [7,000]", "AB-1"},
        {"", "2", "Schraube", "5,000", "AB-1"},
        {section, "", "Inhalt AN/AB", "", "Quelle"},
        {"", "1", "Kabel", "10,000", "AB-1"},
        {"", "1", "Mutter", "2,000", "AB-1"},
        {"", "1", "Schraube", "5,000", "AB-1"},
        {sum, "8", "Summe", "", "10,000"},  // "kein Betrag" and empty count as 0
        {section, "", "Gleiche zusammengefasst aus RE", "", "Komprimiert"},
        {"", "", "Kabel", "7,000", "R-1 R-2"},
        {"", "", "Mutter", "2,000", "R-1"},
        {section, "", "Alle Inhalte aus RE", "", "Alle"},
        {"", "", "Kabel", "4,000", "R-1"},
        {"", "", "Kabel", "3,000", "R-2"},
        {"", "", "Mutter", "2,000", "R-1"},
        {sum, "8", "Summe", "", "7,750"},
    };
    QCOMPARE(grid.RowCount(), int(rows.size()));
    for (int r = 1; r < grid.RowCount(); ++r) {
      const Expect& e = rows[size_t(r)];
      const QByteArray where = "row " + QByteArray::number(r);
      QVERIFY2(grid.Cell(G::ColMarks, r) == e.marks, where);
      QVERIFY2(grid.Cell(G::ColImage, r) == e.image, where);
      QVERIFY2(grid.Cell(G::ColDescription, r) == e.desc, where);
      QVERIFY2(grid.Cell(G::ColQuantity, r) == e.qty, where);
      QVERIFY2(grid.Cell(G::ColInfo, r) == e.info, where);
      // Rows without a line have empty references; line rows lead back to their line.
      const bool lineRow = e.marks.empty();
      QVERIFY2(grid.Cell(G::ColLink, r).empty() != lineRow, where);
      QVERIFY2(grid.Cell(G::ColRange, r).empty() != lineRow, where);
      QVERIFY2((grid.LineOfRow(r) != nullptr) == lineRow, where);
      if (lineRow) QVERIFY2(grid.LineOfRow(r)->Bezeichnung1 == e.desc, where);
    }
    QCOMPARE(grid.StorageOfRow(2), &run.missing);
    QCOMPARE(grid.StorageOfRow(5), &run.source);
    QCOMPARE(grid.StorageOfRow(10), &run.merged);
    QCOMPARE(grid.StorageOfRow(15), &run.invoiced);
    QCOMPARE(grid.LineOfRow(13), run.invoiced.Entry(0).Line.get());
    QCOMPARE(grid.EntryOfRow(2), &run.missing.Entry(0));

    // Marked rows read bold and blue through the model too.
    const QModelIndex sumCell = grid.Model()->index(8 - 1, G::ColInfo);
    QVERIFY(grid.Model()->data(sumCell, Qt::FontRole).value<QFont>().bold());
    QCOMPARE(grid.Model()->data(sumCell, Qt::ForegroundRole).value<QBrush>().color(),
             QColor(0, 0, 255));

    // Refilling after Clear starts over: same rows, references numbered afresh.
    const std::string link = grid.Cell(G::ColLink, 2);
    run.FillInto(grid);
    QCOMPARE(grid.RowCount(), int(rows.size()));
    QCOMPARE(grid.Cell(G::ColLink, 2), link);
    grid.Clear();
    QCOMPARE(grid.RowCount(), 2);
    QVERIFY(grid.LineOfRow(1) == nullptr);
    QVERIFY(grid.Cell(G::ColInfo, 1).empty());
  }

  void EmptyMissingShowsAllDone() {
    TLineStorage source, invoiced, merged, missing;
    source.Add(Doc("AB-1"), Line("1", "Kabel", "2"));
    invoiced.Add(Doc("R-1"), Line("1", "Kabel", "2"));
    ComputeViews(source, invoiced, merged, missing);
    G grid;
    grid.CreateColumns(800);
    grid.Clear();
    const TGridSections s = grid.Fill(missing, source, merged, invoiced);
    QCOMPARE(s.Missing, 1);
    QCOMPARE(grid.Cell(G::ColInfo, 2), std::string("Alles berechnet"));
    QCOMPARE(grid.Cell(G::ColImage, 2), std::string("1"));
    QVERIFY(grid.Cell(G::ColMarks, 2).empty());
    QVERIFY(grid.Cell(G::ColDescription, 2).empty());
    QVERIFY(grid.LineOfRow(2) == nullptr);
    QCOMPARE(s.Source, 3);  // no sum row after the missing section
  }

  void ReferencesDecodeOnlyKnownNumbers() {
    Run run;
    G grid;
    grid.CreateColumns(800);
    run.FillInto(grid);
    // Ten lines (0 to 9) and four storages (0 to 3) in this content.
    const struct {
      int col;
      const char* text;
      bool resolves;
    } cases[] = {
        {G::ColLink, "0", true},
        {G::ColLink, "9", true},
        {G::ColLink, "10", false},
        {G::ColRange, "3", true},
        {G::ColRange, "4", false},
        {G::ColLink, "", false},
        {G::ColLink, "-1", false},
        {G::ColLink, "1x", false},
        {G::ColLink, " 1", false},
        {G::ColRange, "+1", false},
        {G::ColRange, "99999999999", false},
    };
    for (const auto& c : cases) {
      grid.SetCell(c.col, 2, c.text);
      const bool resolved =
          c.col == G::ColLink ? grid.LineOfRow(2) != nullptr : grid.StorageOfRow(2) != nullptr;
      QVERIFY2(resolved == c.resolves, c.text);
    }
    QVERIFY(grid.LineOfRow(0) == nullptr);
    QVERIFY(grid.LineOfRow(1000) == nullptr);
  }

  void SetMarkPadsAndKeepsOtherMarks() {
    G grid;
    grid.CreateColumns(800);
    grid.SetMark(1, 3, 'p');
    QCOMPARE(grid.Cell(0, 1), std::string("  p"));
    grid.SetMark(1, 1, '\x81');
    QCOMPARE(grid.Cell(0, 1), std::string("\x81 p"));
    grid.SetMark(1, 5, 'x');
    QCOMPARE(grid.Cell(0, 1), std::string("\x81 p x"));
  }

  void RubberBandWithAndWithoutShift() {
    Run run;
    ShownGrid g;
    run.FillInto(g.grid);
    // Drag over rows 2 to 4 without Shift: exactly those.
    g.grid.AddToSelection(9);
    QTest::mousePress(g.vp(), Qt::LeftButton, Qt::NoModifier, g.At(G::ColDescription, 2));
    QTest::mouseMove(g.vp(), g.At(G::ColPartNo, 3));
    QTest::mouseMove(g.vp(), g.At(G::ColQuantity, 4));
    QVERIFY(g.grid.Rubber().Active());
    QTest::mouseRelease(g.vp(), Qt::LeftButton, Qt::NoModifier, g.At(G::ColQuantity, 4));
    QCOMPARE(g.Selected(), (Rows{2, 3, 4}));
    QVERIFY(g.grid.Rubber().Drawn().Empty());
    // Upwards with Shift: added to the former selection.
    QTest::mousePress(g.vp(), Qt::LeftButton, Qt::ShiftModifier, g.At(G::ColInfo, 11));
    QTest::mouseMove(g.vp(), g.At(G::ColPosition, 10));
    QTest::mouseRelease(g.vp(), Qt::LeftButton, Qt::ShiftModifier, g.At(G::ColPosition, 10));
    QCOMPARE(g.Selected(), (Rows{2, 3, 4, 10, 11}));
    // A click without movement selects exactly the clicked row; with Shift it adds it.
    QTest::mouseClick(g.vp(), Qt::LeftButton, Qt::NoModifier, g.At(G::ColUnit, 6));
    QCOMPARE(g.Selected(), (Rows{6}));
    QCOMPARE(g.grid.CurrentRow(), 6);
    QCOMPARE(g.grid.CurrentCol(), int(G::ColUnit));
    QTest::mouseClick(g.vp(), Qt::LeftButton, Qt::ShiftModifier, g.At(G::ColUnit, 8));
    QCOMPARE(g.Selected(), (Rows{6, 8}));
    // The mark column lies outside the rows' band: a click there selects nothing.
    QTest::mouseClick(g.vp(), Qt::LeftButton, Qt::NoModifier, g.At(G::ColMarks, 5));
    QCOMPARE(g.Selected(), Rows{});
    // The order of selecting is kept for sending.
    QTest::mouseClick(g.vp(), Qt::LeftButton, Qt::NoModifier, g.At(G::ColUnit, 7));
    QTest::mouseClick(g.vp(), Qt::LeftButton, Qt::ControlModifier, g.At(G::ColUnit, 3));
    QTest::mouseClick(g.vp(), Qt::LeftButton, Qt::ControlModifier, g.At(G::ColUnit, 5));
    QCOMPARE(g.grid.SelectionOrder(), (Rows{7, 3, 5}));
    QCOMPARE(g.grid.SelectedLines().size(), size_t(3));
    QCOMPARE(g.grid.SelectedLines().front(), g.grid.LineOfRow(3));
    // Rows without a line stay in the list for sending, as empty places.
    g.grid.AddToSelection(4);
    const std::vector<TDataGridLine*> sent = g.grid.LinesOfRows(g.grid.SelectionOrder());
    QCOMPARE(sent.size(), size_t(4));
    QCOMPARE(sent[0], g.grid.LineOfRow(7));
    QVERIFY(sent[3] == nullptr);
    QCOMPARE(g.grid.SelectedLines().size(), size_t(3));
  }

  void CtrlClickToggles() {
    Run run;
    ShownGrid g;
    run.FillInto(g.grid);
    g.grid.AddToSelection(3);
    QTest::mouseClick(g.vp(), Qt::LeftButton, Qt::ControlModifier, g.At(G::ColDescription, 5));
    QCOMPARE(g.Selected(), (Rows{3, 5}));
    QTest::mouseClick(g.vp(), Qt::LeftButton, Qt::ControlModifier, g.At(G::ColDescription, 3));
    QCOMPARE(g.Selected(), (Rows{5}));
    QVERIFY(!g.grid.Rubber().Active());
    // Right button with Ctrl toggles too; without Ctrl it only moves the current cell.
    QTest::mouseClick(g.vp(), Qt::RightButton, Qt::ControlModifier, g.At(G::ColDescription, 7));
    QCOMPARE(g.Selected(), (Rows{5, 7}));
    QTest::mouseClick(g.vp(), Qt::RightButton, Qt::NoModifier, g.At(G::ColDescription, 10));
    QCOMPARE(g.Selected(), (Rows{5, 7}));
    QCOMPARE(g.grid.CurrentRow(), 10);
  }

  void KeyboardSelection() {
    Run run;
    ShownGrid g;
    run.FillInto(g.grid);
    struct Case {
      const char* name;
      int startRow;
      Rows selected;
      Qt::Key key;
      Qt::KeyboardModifiers mods;
      int currentAfter;
      Rows selectedAfter;
    };
    const Case cases[] = {
        {"shift down shrinks from above", 4, {4, 5}, Qt::Key_Down, Qt::ShiftModifier, 5, {5}},
        {"shift up shrinks from below", 6, {4, 5, 6}, Qt::Key_Up, Qt::ShiftModifier, 5, {4, 5}},
        {"shift down adds", 4, {4}, Qt::Key_Down, Qt::ShiftModifier, 5, {4, 5}},
        {"shift up adds", 4, {4}, Qt::Key_Up, Qt::ShiftModifier, 3, {3, 4}},
        {"shift left keeps", 4, {2, 4}, Qt::Key_Left, Qt::ShiftModifier, 4, {2, 4}},
        {"ctrl keeps", 4, {2, 9}, Qt::Key_Down, Qt::ControlModifier, 5, {2, 9}},
        {"plain arrow", 4, {2, 9}, Qt::Key_Down, Qt::NoModifier, 5, {5}},
        {"any letter", 4, {2, 9}, Qt::Key_X, Qt::NoModifier, 4, {4}},
        {"escape too", 7, {}, Qt::Key_Escape, Qt::NoModifier, 7, {7}},
        {"shift up at the first row", 1, {1}, Qt::Key_Up, Qt::ShiftModifier, 1, {1}},
    };
    for (const Case& c : cases) {
      g.grid.ClearSelection();
      QVERIFY(g.grid.SetCurrentCell(G::ColDescription, c.startRow));
      for (int row : c.selected) g.grid.AddToSelection(row);
      QTest::keyClick(&g.grid, c.key, c.mods);
      QVERIFY2(g.grid.CurrentRow() == c.currentAfter, c.name);
      QVERIFY2(g.Selected() == c.selectedAfter, c.name);
    }
  }

  void KeysTheGridDoesNotUseReachTheWindow() {
    QWidget window;
    G* grid = new G(&window);
    grid->CreateColumns(400);
    grid->Model()->AppendRows(3);
    struct Recorder : QObject {
      std::vector<int> keys;
      bool eventFilter(QObject*, QEvent* e) override {
        const auto* key = static_cast<QKeyEvent*>(e);
        if (e->type() == QEvent::KeyPress && key->key() != Qt::Key_Control)
          keys.push_back(key->key());
        return false;
      }
    } recorder;
    window.installEventFilter(&recorder);
    for (Qt::Key key : {Qt::Key_Escape, Qt::Key_F5, Qt::Key_A, Qt::Key_Down})
      QTest::keyClick(grid, key);
    QTest::keyClick(grid, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(recorder.keys, (std::vector<int>{Qt::Key_Escape, Qt::Key_F5, Qt::Key_A, Qt::Key_C}));
  }

  void WheelMovesCurrentRowOnly() {
    Run run;
    ShownGrid g(200);
    for (int i = 0; i < 60; ++i)
      run.invoiced.Add(Doc("R-9"), Line(std::to_string(i), "Teil " + std::to_string(i), "1"));
    run.FillInto(g.grid);
    const int last = g.grid.RowCount() - 1;
    const QPoint inside = g.vp()->rect().center();
    QVERIFY(g.grid.SetCurrentCell(G::ColPosition, last));
    g.grid.AddToSelection(3);
    const int scrolled = g.grid.verticalScrollBar()->value();
    QVERIFY(scrolled > 0);
    Wheel(g.vp(), inside, -120);
    QCOMPARE(g.grid.CurrentRow(), last);
    QCOMPARE(g.grid.verticalScrollBar()->value(), scrolled);
    Wheel(g.vp(), inside, 120);
    QCOMPARE(g.grid.CurrentRow(), last - 1);
    QCOMPARE(g.grid.CurrentCol(), int(G::ColPosition));
    QCOMPARE(g.Selected(), Rows{3});
    // At the first data row the wheel up stays; two notches in one event move two rows.
    QVERIFY(g.grid.SetCurrentCell(G::ColPosition, 1));
    Wheel(g.vp(), inside, 120);
    QCOMPARE(g.grid.CurrentRow(), 1);
    Wheel(g.vp(), inside, -240);
    QCOMPARE(g.grid.CurrentRow(), 3);
  }

  void RangeMarkerAndInfoLine() {
    Run run;
    ShownGrid g;
    run.FillInto(g.grid);
    std::string info;
    connect(&g.grid, &G::Click, &g.grid, [&] { info = g.grid.HandleRowClick(); });
    const struct {
      int row;
      int start, end;
    } cases[] = {
        {2, 2, 5},     // missing Kabel -> its source row
        {3, 3, 7},     // missing Schraube -> source Schraube
        {6, 6, 11},    // source Mutter -> merged Mutter (missing lies above)
        {10, 10, 13},  // merged Kabel -> first invoiced Kabel
        {15, 0, 0},    // last line: nothing below
        {4, 0, 0},     // section row: no line
        {8, 0, 0},     // sum row
    };
    for (const auto& c : cases) {
      QTest::mouseClick(g.vp(), Qt::LeftButton, Qt::NoModifier, g.At(G::ColPartNo, c.row));
      QCOMPARE(g.grid.RangeStart(), c.start);
      QCOMPARE(g.grid.RangeEnd(), c.end);
    }
    QTest::mouseClick(g.vp(), Qt::LeftButton, Qt::NoModifier, g.At(G::ColPartNo, 2));
    QCOMPARE(info, std::string(" Kabel  3,000 [7,000] | Auftrag:AB-1"));
    QCOMPARE(g.grid.InfoLineText(1), std::string());
    QCOMPARE(g.grid.InfoLineText(0), std::string());
    // A refill (F5) drops the marker with the rows it joined.
    g.grid.Clear();
    run.FillInto(g.grid);
    QCOMPARE(g.grid.RangeStart(), 0);
    QCOMPARE(g.grid.RangeEnd(), 0);
  }

  void HintsSkipMarksAndImages() {
    Run run;
    ShownGrid g;
    run.FillInto(g.grid);
    const struct {
      int col, row;
      std::string hint;
    } cases[] = {
        {G::ColMarks, 2, ""}, {G::ColImage, 2, ""},      {G::ColDescription, 2, "Kabel"},
        {G::ColImage, 8, ""}, {G::ColInfo, 8, "10,000"}, {G::ColPosition, 6, "2"},
    };
    for (const auto& c : cases) {
      QTest::mouseMove(g.vp(), g.At(c.col, c.row));
      QCOMPARE(g.grid.Hint(), c.hint);
    }
    QTest::mouseMove(g.vp(), QPoint(5, g.vp()->height() - 2));  // below the last row
    QCOMPARE(g.grid.Hint(), std::string());
    QCOMPARE(g.grid.DefaultHint(G::ColDescription, 0), std::string());
    QCOMPARE(g.grid.DefaultHint(G::ColDescription, 99), std::string());
    g.grid.SetHintProvider([](int col, int row) { return std::to_string(col * 100 + row); });
    QTest::mouseMove(g.vp(), g.At(G::ColImage, 3));
    QCOMPARE(g.grid.Hint(), std::string("103"));
  }

  void PaintsSelectionMarkerAndBand() {
    Run run;
    ShownGrid g;
    run.FillInto(g.grid);
    g.grid.AddToSelection(5);
    g.grid.SetRangeMarker(2, 5);
    QImage shot = g.vp()->grab().toImage();
    const QRect selected = g.grid.visualRect(g.grid.Model()->index(5 - 1, G::ColUnit));
    QCOMPARE(shot.pixelColor(selected.right() - 2, selected.top() + 2), QColor(255, 225, 121));
    const QRect plain = g.grid.visualRect(g.grid.Model()->index(6 - 1, G::ColUnit));
    QVERIFY(shot.pixelColor(plain.right() - 2, plain.top() + 2) != QColor(255, 225, 121));
    // The bracket's vertical stroke runs down column 0 through the rows in between.
    const QRect between = g.grid.visualRect(g.grid.Model()->index(3 - 1, G::ColMarks));
    QCOMPARE(shot.pixelColor(between.left() + 1, between.center().y()), QColor(255, 0, 0));
    g.grid.SetRangeMarker(0, 0);
    shot = g.vp()->grab().toImage();
    QVERIFY(shot.pixelColor(between.left() + 1, between.center().y()) != QColor(255, 0, 0));

    // While dragging, the band is blended in its blue over the rows.
    const QPoint from = g.At(G::ColPosition, 10), to = g.At(G::ColInfo, 14);
    QTest::mousePress(g.vp(), Qt::LeftButton, Qt::NoModifier, from);
    QTest::mouseMove(g.vp(), to);
    shot = g.vp()->grab().toImage();
    const QRect under = g.grid.visualRect(g.grid.Model()->index(12 - 1, G::ColQuantity));
    const QColor band = shot.pixelColor(under.right() - 3, under.center().y());
    QVERIFY2(band.blue() > 150 && band.red() < 180 && band.red() > 60, qPrintable(band.name()));
    QTest::mouseRelease(g.vp(), Qt::LeftButton, Qt::NoModifier, to);
    QCOMPARE(g.Selected(), (Rows{10, 11, 12, 13, 14}));
  }

 private:
  std::unique_ptr<test::ScopedNumberFormat> format_;
};

QTEST_MAIN(ViewDataGridTest)
#include "ViewDataGridTest.moc"
