#include "ui/LiveImportFrm.h"

#include <QAction>
#include <QApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QSizeGrip>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <exception>
#include <vector>

#include "docdata/Exception.h"
#include "engine/SuperStack.h"
#include "hostlink/HostCommands.h"
#include "output/SendToHost.h"
#include "ui/ASyncLoader.h"
#include "ui/ClipboardWriter.h"
#include "ui/CueSounds.h"
#include "ui/FSB_BOX.h"
#include "ui/QtText.h"
#include "ui/QtThreadLink.h"
#include "ui/StopWatch.h"
#include "ui/SuperStackRun.h"
#include "ui/ViewDataGrid.h"
#include "ui/Wave.h"
#include "ui/WindowPlacement.h"

namespace dz {

namespace {

constexpr int kClientWidth = 731;
constexpr int kClientHeight = 487;

const char* const kTopText =
    "Es werden <B>nicht berechnete Positionen</B> angezeigt. Gundlage ist "
    "ein<br><B>verbundenes "
    "Angebot/Auftragsbestätigung</B> mit <b>allen Positionen</b>.";

QFont TahomaFont(int points) {
  QFont font(QStringLiteral("Tahoma"));
  font.setPointSize(points);
  return font;
}

QFrame* WhitePanel(QWidget* parent, const char* name) {
  auto* panel = new QFrame(parent);
  panel->setObjectName(QString::fromLatin1(name));
  panel->setAutoFillBackground(true);
  QPalette pal = panel->palette();
  pal.setColor(QPalette::Window, Qt::white);
  panel->setPalette(pal);
  return panel;
}

// The glyphs of the three toolbar buttons, drawn here so the program carries no
// picture files.
QIcon Glyph(int kind) {
  QImage image(16, 16, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  switch (kind) {
    case 0: {  // reload: a green circular arrow
      p.setPen(QPen(QColor(0, 128, 0), 2, Qt::SolidLine, Qt::RoundCap));
      p.drawArc(QRectF(2.5, 2.5, 11, 11), 60 * 16, 280 * 16);
      QPainterPath head;
      head.moveTo(9, 0.5);
      head.lineTo(14, 3.5);
      head.lineTo(9, 6.5);
      head.closeSubpath();
      p.setPen(Qt::NoPen);
      p.setBrush(QColor(0, 128, 0));
      p.drawPath(head);
      break;
    }
    case 1: {  // copy: two sheets
      p.setPen(QPen(QColor(90, 90, 90), 1));
      p.setBrush(Qt::white);
      p.drawRect(QRectF(1.5, 1.5, 8, 10));
      p.drawRect(QRectF(6.5, 4.5, 8, 10));
      p.setPen(QPen(QColor(49, 106, 197), 1));
      for (int y = 7; y <= 12; y += 2) p.drawLine(QPointF(8.5, y + 0.5), QPointF(12.5, y + 0.5));
      break;
    }
    default: {  // send: a blue arrow into the host
      p.setPen(QPen(QColor(90, 90, 90), 1));
      p.setBrush(QColor(255, 225, 121));
      p.drawRect(QRectF(9.5, 2.5, 5, 11));
      QPainterPath arrow;
      arrow.moveTo(1, 6);
      arrow.lineTo(6, 6);
      arrow.lineTo(6, 3);
      arrow.lineTo(11, 8);
      arrow.lineTo(6, 13);
      arrow.lineTo(6, 10);
      arrow.lineTo(1, 10);
      arrow.closeSubpath();
      p.setPen(Qt::NoPen);
      p.setBrush(QColor(49, 106, 197));
      p.drawPath(arrow);
      break;
    }
  }
  p.end();
  return QIcon(QPixmap::fromImage(image));
}

QToolButton* FlatButton(QWidget* parent, const char* name, const QString& caption, int kind,
                        const QRect& geometry) {
  auto* button = new QToolButton(parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setAutoRaise(true);
  button->setIcon(Glyph(kind));
  button->setText(caption);
  button->setToolButtonStyle(caption.isEmpty() ? Qt::ToolButtonIconOnly
                                               : Qt::ToolButtonTextBesideIcon);
  button->setGeometry(geometry);
  button->setFocusPolicy(Qt::NoFocus);
  return button;
}

}  // namespace

TLiveImportFrm::TLiveImportFrm(TLoadRunFactory newRun, QWidget* parent)
    : QWidget(parent), PngImageListGrid(GridImageList()), FNewRun(std::move(newRun)) {
  if (!FNewRun) FNewRun = TSuperStackRun::Factory();
  FormCreate();
}

TLiveImportFrm::~TLiveImportFrm() {
  // A load still running is abandoned: its result never reaches LoadDone, and
  // nothing may start another one meanwhile.
  FClosing = true;
  FLoader.reset();
  FStack.reset();
  SetBusyCursor(false);
}

void TLiveImportFrm::CreateComponents() {
  setWindowTitle(QStringLiteral("Dirivararez"));
  setFont(TahomaFont(9));
  resize(kClientWidth, kClientHeight);

  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);

  PTOP = WhitePanel(this, "PTOP");
  PTOP->setFixedHeight(49);
  auto* top = new QHBoxLayout(PTOP);
  top->setSpacing(0);
  Panel2 = WhitePanel(PTOP, "Panel2");
  Panel2->setFixedWidth(229);
  FAUTO = FlatButton(Panel2, "FAUTO", QString(), 0, QRect(12, 11, 33, 24));
  FAUTO->setToolTip(QStringLiteral("F5"));
  FlatSpeedButton1 =
      FlatButton(Panel2, "FlatSpeedButton1", QStringLiteral("Kopieren"), 1, QRect(49, 11, 85, 24));
  FMV = FlatButton(Panel2, "FMV", QStringLiteral("Senden"), 2, QRect(138, 11, 85, 24));
  top->addWidget(Panel2);
  top->addStretch(1);
  HTOP = new QLabel(PTOP);
  HTOP->setObjectName(QStringLiteral("HTOP"));
  HTOP->setTextFormat(Qt::RichText);
  HTOP->setText(QString::fromUtf8(kTopText));
  // 405 pixels hold the text in the window's font; where that font is substituted by a
  // wider one the label grows to the left rather than cutting the text.
  HTOP->setMinimumWidth(405);
  HTOP->setFixedHeight(34);
  HTOP->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Fixed);
  HTOP->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  top->addWidget(HTOP, 0, Qt::AlignTop);
  top->setContentsMargins(0, 4, 15, 0);
  column->addWidget(PTOP);

  PC = WhitePanel(this, "PC");
  auto* middle = new QHBoxLayout(PC);
  middle->setContentsMargins(0, 0, 0, 0);
  middle->setSpacing(0);
  Bevel2 = new QFrame(PC);
  Bevel2->setObjectName(QStringLiteral("Bevel2"));
  Bevel2->setFixedWidth(5);
  Bevel1 = new QFrame(PC);
  Bevel1->setObjectName(QStringLiteral("Bevel1"));
  Bevel1->setFixedWidth(5);
  middle->addWidget(Bevel2);
  column->addWidget(PC, 1);

  Panel1 = WhitePanel(this, "Panel1");
  Panel1->setFixedHeight(23);
  auto* bottom = new QHBoxLayout(Panel1);
  bottom->setContentsMargins(4, 4, 0, 0);
  bottom->setSpacing(0);
  HLC = new QLabel(Panel1);
  HLC->setObjectName(QStringLiteral("HLC"));
  HLC->setTextFormat(Qt::RichText);
  HLC->setText(QStringLiteral("Marvella"));
  HLC->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  bottom->addWidget(HLC, 0, Qt::AlignTop);
  bottom->addStretch(1);
  column->addWidget(Panel1);

  ErrorPanel = new QFrame(this);
  ErrorPanel->setObjectName(QStringLiteral("ErrorPanel"));
  ErrorPanel->setAutoFillBackground(true);
  QPalette red = ErrorPanel->palette();
  red.setColor(QPalette::Window, Qt::red);
  ErrorPanel->setPalette(red);
  ErrorPanel->setGeometry(20, 72, 409, 85);
  ErrorLabel = new QLabel(ErrorPanel);
  ErrorLabel->setObjectName(QStringLiteral("ErrorLabel"));
  ErrorLabel->setTextFormat(Qt::RichText);
  ErrorLabel->setWordWrap(true);
  ErrorLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  ErrorLabel->setFont(TahomaFont(9));
  QPalette white = ErrorLabel->palette();
  white.setColor(QPalette::WindowText, Qt::white);
  ErrorLabel->setPalette(white);
  ErrorLabel->setGeometry(0, 0, 409, 85);
  ErrorPanel->hide();

  oxPopupMenu1 = new QMenu(this);
  oxPopupMenu1->setObjectName(QStringLiteral("oxPopupMenu1"));
  auto item = [this](const char* name, const QString& caption) {
    QAction* action = oxPopupMenu1->addAction(caption);
    action->setObjectName(QString::fromLatin1(name));
    return action;
  };
  Kopieren1 = item("Kopieren1", QStringLiteral("Kopieren"));
  N1 = oxPopupMenu1->addSeparator();
  N1->setObjectName(QStringLiteral("N1"));
  N1->setText(QStringLiteral("-"));
  Fehlende1 = item("Fehlende1", QStringLiteral("Fehlende"));
  InhaltANAB1 = item("InhaltANAB1", QStringLiteral("Inhalt AN/AB"));
  Gleichezusammengefasst1 =
      item("Gleichezusammengefasst1", QStringLiteral("Gleiche zusammengefasst"));
  AllePostionen1 = item("AllePostionen1", QStringLiteral("Alle Postionen"));

  WaveDown = new TWave(this);
  WaveDown->setObjectName(QStringLiteral("WaveDown"));
  WaveDown->WaveData.SetData(static_cast<int32_t>(WaveDownSound().size()), WaveDownSound().data());
  WaveBusy = new TWave(this);
  WaveBusy->setObjectName(QStringLiteral("WaveBusy"));
  WaveBusy->WaveData.SetData(static_cast<int32_t>(WaveBusySound().size()), WaveBusySound().data());

  connect(FAUTO, &QToolButton::clicked, this, [this] { FAUTOClick(); });
  connect(FlatSpeedButton1, &QToolButton::clicked, this, [this] { FlatSpeedButton1Click(); });
  connect(FMV, &QToolButton::clicked, this, [this] { FMVClick(); });
  connect(Kopieren1, &QAction::triggered, this, [this] { Kopieren1Click(); });
  connect(Fehlende1, &QAction::triggered, this, [this] { Fehlende1Click(); });
  connect(InhaltANAB1, &QAction::triggered, this, [this] { InhaltANAB1Click(); });
  connect(Gleichezusammengefasst1, &QAction::triggered, this,
          [this] { Gleichezusammengefasst1Click(); });
  connect(AllePostionen1, &QAction::triggered, this, [this] { AllePostionen1Click(); });
}

void TLiveImportFrm::FormCreate() {
  CreateComponents();
  FLoader = std::make_unique<TASyncLoader>(
      [this](TImportWorker& job, std::unique_ptr<TLoadRun> run, const std::string& errorText) {
        LoadDone(job, std::move(run), errorText);
      },
      FNewRun, std::make_unique<TQtThreadLink>());
  auto* grip = new QSizeGrip(Panel1);
  grip->setObjectName(QStringLiteral("SizeGrip"));
  static_cast<QHBoxLayout*>(Panel1->layout())->addWidget(grip, 0, Qt::AlignRight | Qt::AlignBottom);
  // Which host instance started us decides every later call; the name itself is
  // not needed.
  DetectHostServer();
  CreateGrid();
  PlaceWindow();
  // Keys reach the window before the focused control.
  qApp->installEventFilter(this);
  PC->installEventFilter(this);
}

void TLiveImportFrm::CreateGrid() {
  FGrid = new TViewDataGrid(PC);
  FGrid->setObjectName(QStringLiteral("FGrid"));
  FGrid->setFrameShape(QFrame::NoFrame);
  auto* middle = static_cast<QHBoxLayout*>(PC->layout());
  middle->addWidget(FGrid, 1);
  middle->addWidget(Bevel1);
  // The column widths are fractions of the panel as it is laid out now.
  layout()->activate();
  FGrid->CreateColumns(PC->width() > 0 ? PC->width() : kClientWidth);
  FGrid->SetImages(&PngImageListGrid);
  FGrid->Scale(1.2);
  FGrid->FitColumns();
  FGrid->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(FGrid, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { oxPopupMenu1->popup(FGrid->viewport()->mapToGlobal(at)); });
  connect(FGrid, &TViewDataGrid::Click, this, [this] {
    // Descriptions are plain text; the label renders HTML.
    HLC->setText(ToQString(FGrid->HandleRowClick()).toHtmlEscaped());
  });
}

TSuperStack* TLiveImportFrm::Stack() const {
  auto* run = dynamic_cast<TSuperStackRun*>(FStack.get());
  return run ? run->Stack() : nullptr;
}

bool TLiveImportFrm::IsLoading() const {
  return FLoader && FLoader->IsBusy();
}

void TLiveImportFrm::PlaceWindow() {
  const std::string metrics = ReadIPCValueSync("MARVELLAMETRICS", std::string());
  QList<QRect> monitors;
  for (const QScreen* s : QGuiApplication::screens()) monitors.push_back(s->geometry());
  const QScreen* primary = QGuiApplication::primaryScreen();
  const QRect workArea = primary ? primary->availableGeometry() : QRect();
  move(dz::PlaceWindow(metrics, pos(), frameGeometry().size(), workArea, monitors));
}

void TLiveImportFrm::PostStartLoad() {
  QCoreApplication::postEvent(this, new QEvent(WM_START_LOAD));
}

bool TLiveImportFrm::event(QEvent* e) {
  if (e->type() == WM_START_LOAD) {
    StartLoadHandler();
    return true;
  }
  return QWidget::event(e);
}

void TLiveImportFrm::showEvent(QShowEvent* e) {
  QWidget::showEvent(e);
  // Restoring a minimised window is no new showing and loads nothing.
  if (!e->spontaneous()) FormShow();
  ApplyOuterMinimum();
}

void TLiveImportFrm::ApplyOuterMinimum() {
  const QSize frame = frameGeometry().size() - geometry().size();
  setMinimumSize(kMinOuterWidth - frame.width(), kMinOuterHeight - frame.height());
}

bool TLiveImportFrm::eventFilter(QObject* watched, QEvent* e) {
  // Installed on the application: keys for any control of this window come here first.
  if (e->type() == QEvent::KeyPress && watched->isWidgetType() &&
      isAncestorOf(static_cast<QWidget*>(watched))) {
    bool handled = false;
    FormKeyDown(static_cast<QKeyEvent*>(e)->key(), handled);
    if (handled) return true;
  } else if (watched == PC && e->type() == QEvent::Resize) {
    PCResize();
  }
  return QWidget::eventFilter(watched, e);
}

void TLiveImportFrm::FormShow() {
  PostStartLoad();
}

void TLiveImportFrm::FAUTOClick() {
  PostStartLoad();
}

void TLiveImportFrm::FormKeyDown(int key, bool& handled) {
  if (key == Qt::Key_F5) {
    PostStartLoad();
    handled = true;
  } else if (key == Qt::Key_Escape) {
    handled = true;
    close();
  }
}

void TLiveImportFrm::FlatSpeedButton1Click() {
  CopySelection();
}

void TLiveImportFrm::Kopieren1Click() {
  CopySelection();
}

void TLiveImportFrm::CopySelection() {
  try {
    const std::vector<TDataGridLine*> lines = FGrid->SelectedLines();
    PutOnClipboard(CopySelectedLines(lines, SystemUID()), QGuiApplication::clipboard());
  } catch (const std::exception& e) {
    ShowError(e.what());
  }
}

void TLiveImportFrm::FMVClick() {
  try {
    std::vector<const TDataGridLine*> selection;
    for (int row : FGrid->SelectionOrder()) selection.push_back(FGrid->LineOfRow(row));
    switch (SendSelection(selection, FGrid->CurrentLine())) {
      case SendResult::Refused:
        TFSB_BOX::ShowMessage(kSendRefused);
        break;
      case SendResult::Undelivered:
        // Silence would let the user believe the positions are in the invoice.
        TFSB_BOX::ShowMessage(kSendUndelivered);
        break;
      case SendResult::Delivered:
        break;
    }
  } catch (const std::exception& e) {
    ShowError(e.what());
  }
}

void TLiveImportFrm::Fehlende1Click() {
  JumpToRow(FMissingRow);
}
void TLiveImportFrm::InhaltANAB1Click() {
  JumpToRow(FSourceRow);
}
void TLiveImportFrm::Gleichezusammengefasst1Click() {
  JumpToRow(FMergedRow);
}
void TLiveImportFrm::AllePostionen1Click() {
  JumpToRow(FInvoicedRow);
}

void TLiveImportFrm::JumpToRow(int row) {
  if (row <= 0 || row >= FGrid->RowCount()) return;
  FGrid->SetCurrentCell(FGrid->CurrentCol(), row);
}

void TLiveImportFrm::PCResize() {
  if (FGrid) FGrid->FitColumns();
}

void TLiveImportFrm::SetBusyCursor(bool busy) {
  if (busy == FCursorBusy) return;
  FCursorBusy = busy;
  if (busy)
    QApplication::setOverrideCursor(Qt::WaitCursor);
  else
    QApplication::restoreOverrideCursor();
}

void TLiveImportFrm::ShowError(const std::string& message) {
  ErrorLabel->setText(QStringLiteral("Fehler:<br><b>") + ToQString(message));
  // A long message grows the panel rather than being cut off.
  ErrorLabel->setFixedWidth(ErrorPanel->width());
  const int height = std::max(85, ErrorLabel->heightForWidth(ErrorPanel->width()));
  ErrorLabel->setFixedHeight(height);
  ErrorPanel->resize(ErrorPanel->width(), height);
  ErrorPanel->show();
  ErrorPanel->raise();
}

void TLiveImportFrm::StartLoadHandler() {
  if (FClosing || !FLoader) return;
  ErrorPanel->hide();
  if (FLoader->IsBusy()) {
    WaveBusy->Play();
    return;
  }
  try {
    SetBusyCursor(true);
    HLC->setText(QStringLiteral(".."));
    TStopWatch::Start();
    FLoader->StartLoad();
  } catch (const std::exception& e) {
    // No load runs, so nothing would ever give the cursor back.
    SetBusyCursor(false);
    ShowError(e.what());
  }
}

void TLiveImportFrm::LoadDone(TImportWorker&, std::unique_ptr<TLoadRun> run,
                              const std::string& errorText) {
  const int row = FGrid->CurrentRow();
  const int col = FGrid->CurrentCol();
  FGrid->setUpdatesEnabled(false);
  try {
    FGrid->Clear();
    FStack = std::move(run);
    TSuperStack* stack = Stack();
    setWindowTitle(stack ? ToQString(stack->CaptionText()) : QString());
    try {
      if (!errorText.empty()) throw Exception(errorText);
      if (stack) {
        const TGridSections rows =
            FGrid->Fill(stack->Missing(), stack->Source(), stack->Merged(), stack->Invoiced());
        FMissingRow = rows.Missing;
        FSourceRow = rows.Source;
        FMergedRow = rows.Merged;
        FInvoicedRow = rows.Invoiced;
      }
      ErrorPanel->hide();
    } catch (const std::exception& e) {
      FGrid->Clear();
      FMissingRow = FSourceRow = FMergedRow = FInvoicedRow = 0;
      ShowError(e.what());
    }
    WaveDown->Play();
    try {
      if (row > 0 && row < FGrid->RowCount() && col > 0 && col < FGrid->ColumnCount()) {
        FGrid->SetCurrentCell(col, row);
        FGrid->AddToSelection(row);
        FGrid->setFocus();
        FGrid->update();
      }
    } catch (...) {
      // The former cell is a convenience; a load that ended is shown all the
      // same.
    }
  } catch (...) {
    SetBusyCursor(false);
    FGrid->setUpdatesEnabled(true);
    HLC->setText(ToQString(TStopWatch::Stop()));
    throw;
  }
  SetBusyCursor(false);
  FGrid->setUpdatesEnabled(true);
  HLC->setText(ToQString(TStopWatch::Stop()));
}

}  // namespace dz
