#pragma once
// The program's own message box: a white, always-on-top modal dialog that renders its text
// as simple HTML (bold, line breaks, links) and cuts long texts down to a fixed number of
// lines. The form also carries a question panel and an input panel; only the message
// variant is ever opened, the other two stay hidden.
//
// Texts are Windows-1252. Nothing here throws except what Qt itself raises.

#include <QDialog>
#include <QString>
#include <string>
#include <string_view>

class QComboBox;
class QLabel;
class QPushButton;
class QKeyEvent;

namespace dz {

// Turns a message text into the label's HTML: CR LF and "<br>" (any letter case) become one
// kind of line break, empty lines at the top are dropped, and a text of more than 21 lines
// keeps lines 1 to 21, a line of 16 dots and its last line. Pure; Windows-1252 in and out.
std::string PrepareMessageText(std::string_view text);

class TFSB_BOX : public QDialog {
  Q_OBJECT

 public:
  enum Result { ResultOk = 1, ResultCancel = 2 };

  // A top-level dialog; the controls carry their names as Qt object names.
  explicit TFSB_BOX(QWidget* parent = nullptr);

  // Shows the message variant modally and returns ResultOk or ResultCancel once it closes.
  // An empty caption gives the application title; an empty help text hides "Hilfe".
  static int ShowMessage(const std::string& text, const std::string& helpText = std::string(),
                         const std::string& caption = std::string());

  // Sets the box up as the message variant without showing it (ShowMessage does this, then
  // runs the box modally).
  void PrepareMessage(const std::string& text, const std::string& helpText,
                      const std::string& caption);

  QLabel* MessageLabel() const { return FMessageLabel; }
  QLabel* HelpLabel() const { return FHelpLabel; }

 public slots:
  void reject() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  QWidget* MakePanel(const char* name, int width, int height);
  QPushButton* MakeButton(QWidget* panel, const char* name, const QString& caption, int x, int y,
                          int width);
  bool HandleKey(QKeyEvent* event);
  void LayoutOnShow();
  void BringToFront();
  void HelpClick();
  void LinkClick(const QString& link);
  int LabelHeight(QLabel* label) const;

  QWidget* Pquestion;
  QWidget* Pmsg;
  QWidget* Pinput;
  QWidget* FP_help;
  QPushButton* FB_OK;
  QPushButton* FB_BREAK1;
  QPushButton* FBhelpQ;
  QPushButton* FB_BREAK2;
  QPushButton* FBhelpS;
  QComboBox* FINPE;
  QPushButton* FB_IOK;
  QPushButton* FB_ICANCEL;
  QPushButton* FB_HELPI;
  QLabel* FMessageLabel;
  QLabel* FHelpLabel;
  QString FHelpText;
  bool FMessageVariant = false;
  bool FStayInFront = true;
};

}  // namespace dz
