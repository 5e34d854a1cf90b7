#pragma once
// The program's one window: a toolbar with reload, copy and send, the position grid with
// the four sections of the last load, an info line, and a red panel for a failed load.
//
// Ownership: the window owns its components, the background loader, the grid and the run
// of the last completed load (FStack), which the grid's rows refer to. Loads run on the
// loader's worker threads; every handler here runs on the user-interface thread.
// Failures of a load or of starting one are shown in the error panel, never raised.

#include <QEvent>
#include <QWidget>
#include <memory>
#include <string>

#include "ui/ImageList.h"
#include "ui/LoadRun.h"

class QLabel;
class QMenu;
class QAction;
class QFrame;
class QToolButton;

namespace dz {

class TASyncLoader;
class TImportWorker;
class TSuperStack;
class TViewDataGrid;
class TWave;

class TLiveImportFrm : public QWidget {
  Q_OBJECT

 public:
  // The private message that starts a load. It is only ever posted, so that a load starts
  // after the event that asked for it has been handled.
  static constexpr QEvent::Type WM_START_LOAD = static_cast<QEvent::Type>(QEvent::User + 1);

  // `newRun` makes the run of each load; empty: a fresh reconciliation run (TSuperStackRun)
  // against the host. Set-up asks the host which server started us and where its window is.
  explicit TLiveImportFrm(TLoadRunFactory newRun = {}, QWidget* parent = nullptr);
  // Abandons a running load (its result is freed unshown) before anything is freed.
  ~TLiveImportFrm() override;

  TViewDataGrid* Grid() const { return FGrid; }
  // The run of the last completed load (owned by the window); null before the first.
  TLoadRun* LastRun() const { return FStack.get(); }
  // Its reconciliation result, when the run was one (null otherwise).
  TSuperStack* Stack() const;
  bool IsLoading() const;

  int MissingRow() const { return FMissingRow; }
  int SourceRow() const { return FSourceRow; }
  int MergedRow() const { return FMergedRow; }
  int InvoicedRow() const { return FInvoicedRow; }

  // Posts WM_START_LOAD (what F5, the reload button and showing the window do).
  void PostStartLoad();

  // Puts the window where the host's answer to "MARVELLAMETRICS" says (set-up does this).
  void PlaceWindow();

  // The outer minimum size; the client minimum follows from the frame once it is known.
  static constexpr int kMinOuterWidth = 730;
  static constexpr int kMinOuterHeight = 500;

 protected:
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void FormCreate();
  void CreateComponents();
  void CreateGrid();
  void FormShow();
  void FAUTOClick();
  void FlatSpeedButton1Click();
  void Kopieren1Click();
  void FMVClick();
  void Fehlende1Click();
  void InhaltANAB1Click();
  void Gleichezusammengefasst1Click();
  void AllePostionen1Click();
  void PCResize();
  void FormKeyDown(int key, bool& handled);
  void StartLoadHandler();
  void LoadDone(TImportWorker& job, std::unique_ptr<TLoadRun> run, const std::string& errorText);

  void CopySelection();
  void JumpToRow(int row);
  void ShowError(const std::string& message);
  void SetBusyCursor(bool busy);
  void ApplyOuterMinimum();

  // Private state.
  std::unique_ptr<TASyncLoader> FLoader;
  int FMissingRow = 0;
  int FSourceRow = 0;
  int FMergedRow = 0;
  int FInvoicedRow = 0;
  TViewDataGrid* FGrid = nullptr;  // child of PC
  std::unique_ptr<TLoadRun> FStack;

  // Components, by their names.
  QFrame* PTOP = nullptr;
  QFrame* Panel2 = nullptr;
  QToolButton* FAUTO = nullptr;
  QToolButton* FlatSpeedButton1 = nullptr;
  QToolButton* FMV = nullptr;
  QLabel* HTOP = nullptr;
  QFrame* PC = nullptr;
  QFrame* Bevel1 = nullptr;
  QFrame* Bevel2 = nullptr;
  QFrame* Panel1 = nullptr;
  QLabel* HLC = nullptr;
  QFrame* ErrorPanel = nullptr;
  QLabel* ErrorLabel = nullptr;
  TImageList PngImageListGrid;
  QMenu* oxPopupMenu1 = nullptr;
  QAction* Kopieren1 = nullptr;
  QAction* N1 = nullptr;
  QAction* Fehlende1 = nullptr;
  QAction* InhaltANAB1 = nullptr;
  QAction* Gleichezusammengefasst1 = nullptr;
  QAction* AllePostionen1 = nullptr;
  TWave* WaveDown = nullptr;
  TWave* WaveBusy = nullptr;

  TLoadRunFactory FNewRun;
  bool FCursorBusy = false;
  bool FClosing = false;
  bool FMinimumApplied = false;
};

}  // namespace dz
