#include "ui/FSB_BOX.h"

#include <QApplication>
#include <QComboBox>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QUrl>
#include <vector>

#include "docdata/Cp1252.h"

namespace dz {

namespace {

constexpr int kMaxLines = 21;
constexpr int kClientWidth = 406;
constexpr int kDesignHeight = 187;
constexpr int kButtonPanelHeight = 35;  // client height = label height + 2 + 35
constexpr int kInputPanelHeight = 68;   // client height = label height + 2 + 68
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 25;
// A control with this tag turns Ctrl/Shift/Alt+Enter into a cancel.
constexpr int kCancelOnEnterTag = 20;

// Replaces every occurrence of `from` (ASCII, compared without regard to letter case).
std::string ReplaceAllNoCase(std::string_view text, std::string_view from, std::string_view to) {
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    if (text.size() - i >= from.size() && SameText(text.substr(i, from.size()), from)) {
      out.append(to);
      i += from.size();
    } else {
      out.push_back(text[i++]);
    }
  }
  return out;
}

// Lines separated by CR LF; a final CR LF ends the last line rather than starting an empty one.
std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find("\r\n", start);
    if (end == std::string_view::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

QString FromCp1252(std::string_view text) {
  return QString::fromStdU16String(Cp1252ToUtf16(text));
}

bool IsModifierKey(int key) {
  return key == Qt::Key_Shift || key == Qt::Key_Control || key == Qt::Key_Alt ||
         key == Qt::Key_Meta || key == Qt::Key_AltGr;
}

}  // namespace

std::string PrepareMessageText(std::string_view text) {
  const std::string unified =
      ReplaceAllNoCase(ReplaceAllNoCase(text, "\r\n", "<BR>"), "<BR>", "\r\n");
  const std::string_view all(unified);
  const std::vector<std::string_view> lines = SplitLines(all);
  size_t first = 0;
  while (first < lines.size() && lines[first].empty()) ++first;
  std::string out;
  int shown = 0;
  for (size_t i = first; i < lines.size(); ++i) {
    if (shown > 0) out += "<br>";
    out.append(lines[i]);
    if (++shown == kMaxLines && i + 1 < lines.size()) {
      out += "<br>................<br>";
      out.append(lines.back());
      break;
    }
  }
  return out;
}

TFSB_BOX::TFSB_BOX(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::WindowStaysOnTopHint) {
  setObjectName("FSB_BOX");
  // A box is never the program's last window: closing it must not count as closing the
  // program, whatever the window system reports about the main window at that moment.
  setAttribute(Qt::WA_QuitOnClose, false);
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, Qt::white);
  setPalette(pal);

  const QScreen* scr = screen() ? screen() : QGuiApplication::primaryScreen();
  const bool wide = scr && scr->geometry().width() > 800;
  setFont(QFont("Tahoma", wide ? 9 : 8));
  const QFont labelFont("Tahoma", wide ? 10 : 8);
  const double msgFactor = wide ? 1.1 : 1.0;
  const double inputFactor = wide ? 1.2 : 1.0;

  Pquestion = MakePanel("Pquestion", 259, kButtonPanelHeight);
  FBhelpQ = MakeButton(Pquestion, "FBhelpQ", "Hilfe", 8, 5, kButtonWidth);
  FB_OK = MakeButton(Pquestion, "FB_OK", "Ja", 93, 5, kButtonWidth);
  FB_BREAK1 = MakeButton(Pquestion, "FB_BREAK1", "Nein", 176, 5, kButtonWidth);

  const int msgWidth = static_cast<int>(176 * msgFactor);
  Pmsg = MakePanel("Pmsg", msgWidth, kButtonPanelHeight);
  FBhelpS = MakeButton(Pmsg, "FBhelpS", "Hilfe", 8, 5, kButtonWidth);
  FB_BREAK2 = MakeButton(Pmsg, "FB_BREAK2", QString::fromUtf8("Schließen"),
                         msgWidth - kButtonWidth - 8, 5, kButtonWidth);

  const int inputWidth = static_cast<int>(330 * inputFactor);
  const int inputButton = static_cast<int>(kButtonWidth * inputFactor);
  Pinput = MakePanel("Pinput", inputWidth, kInputPanelHeight);
  auto* inputLabel = new QLabel("Eingabe:", Pinput);
  inputLabel->setGeometry(8, 8, 50, 17);
  FINPE = new QComboBox(Pinput);
  FINPE->setObjectName("FINPE");
  FINPE->setEditable(true);
  FINPE->lineEdit()->setPlaceholderText("Eingabe");
  FINPE->setGeometry(60, 5, inputWidth - 68, 21);
  FB_HELPI = MakeButton(Pinput, "FB_HELPI", "Hilfe", 8, 38, kButtonWidth);
  FB_ICANCEL =
      MakeButton(Pinput, "FB_ICANCEL", "Abbrechen", inputWidth - inputButton - 8, 38, inputButton);
  FB_IOK = MakeButton(Pinput, "FB_IOK", QString::fromUtf8("Übernehmen"),
                      inputWidth - 2 * inputButton - 16, 38, inputButton);

  FP_help = new QWidget(this);
  FP_help->setObjectName("FP_help");
  FP_help->hide();

  auto makeLabel = [&](QWidget* owner, const char* name) {
    auto* label = new QLabel(owner);
    label->setObjectName(name);
    label->setFont(labelFont);
    label->setTextFormat(Qt::RichText);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setContentsMargins(12, 10, 12, 4);
    label->setOpenExternalLinks(false);
    label->setTextInteractionFlags(Qt::LinksAccessibleByMouse);
    connect(label, &QLabel::linkActivated, this, &TFSB_BOX::LinkClick);
    return label;
  };
  FMessageLabel = makeLabel(this, "MessageLabel");
  FHelpLabel = makeLabel(FP_help, "HelpLabel");

  connect(FB_OK, &QPushButton::clicked, this, [this] { done(ResultOk); });
  connect(FB_IOK, &QPushButton::clicked, this, [this] { done(ResultOk); });
  connect(FB_BREAK1, &QPushButton::clicked, this, [this] { done(ResultCancel); });
  connect(FB_BREAK2, &QPushButton::clicked, this, [this] { done(ResultCancel); });
  connect(FB_ICANCEL, &QPushButton::clicked, this, [this] { done(ResultCancel); });
  for (QPushButton* help : {FBhelpQ, FBhelpS, FB_HELPI})
    connect(help, &QPushButton::clicked, this, &TFSB_BOX::HelpClick);

  // Every key goes past the form first, whichever control has the focus.
  for (QWidget* w : findChildren<QWidget*>()) w->installEventFilter(this);

  setFixedSize(kClientWidth, kDesignHeight);
}

QWidget* TFSB_BOX::MakePanel(const char* name, int width, int height) {
  auto* panel = new QWidget(this);
  panel->setObjectName(name);
  panel->setAutoFillBackground(true);
  QPalette pal = panel->palette();
  pal.setColor(QPalette::Window, pal.color(QPalette::Button));
  panel->setPalette(pal);
  panel->resize(width, height);
  panel->hide();
  return panel;
}

QPushButton* TFSB_BOX::MakeButton(QWidget* panel, const char* name, const QString& caption, int x,
                                  int y, int width) {
  auto* button = new QPushButton(caption, panel);
  button->setObjectName(name);
  button->setAutoDefault(false);
  button->setGeometry(x, y, width, kButtonHeight);
  return button;
}

int TFSB_BOX::ShowMessage(const std::string& text, const std::string& helpText,
                          const std::string& caption) {
  TFSB_BOX box;
  box.PrepareMessage(text, helpText, caption);
  box.setWindowModality(Qt::ApplicationModal);
  return box.exec();
}

void TFSB_BOX::PrepareMessage(const std::string& text, const std::string& helpText,
                              const std::string& caption) {
  FHelpText.clear();
  FP_help->hide();
  FMessageLabel->setText(FromCp1252(PrepareMessageText(text)));
  Pquestion->hide();
  Pinput->hide();
  Pmsg->show();
  FMessageVariant = true;
  setWindowTitle(caption.empty() ? QGuiApplication::applicationDisplayName() : FromCp1252(caption));
  FBhelpS->setVisible(!helpText.empty());
  FHelpText = FromCp1252(helpText);
  FB_BREAK2->setFocus();
}

int TFSB_BOX::LabelHeight(QLabel* label) const {
  return label->heightForWidth(kClientWidth);
}

void TFSB_BOX::LayoutOnShow() {
  const QScreen* scr = screen() ? screen() : QGuiApplication::primaryScreen();
  const int maxHeight = scr ? scr->geometry().height() * 7 / 10 : 100000;
  const bool input = Pinput->isVisibleTo(this);
  QWidget* panel = input ? Pinput : Pquestion->isVisibleTo(this) ? Pquestion : Pmsg;
  const int below = input ? 70 : 37;

  int labelHeight = LabelHeight(FMessageLabel);
  int helpHeight = FP_help->isVisibleTo(this) ? FP_help->height() : 0;
  if (labelHeight + below + helpHeight > maxHeight)
    labelHeight = std::max(0, maxHeight - below - helpHeight);
  FMessageLabel->setGeometry(0, 0, kClientWidth, labelHeight);
  panel->move(kClientWidth - panel->width(), labelHeight + 2);
  FP_help->move(0, labelHeight + below);
  setFixedSize(kClientWidth, labelHeight + below + helpHeight);
}

void TFSB_BOX::showEvent(QShowEvent* event) {
  LayoutOnShow();
  if (const QScreen* scr = screen() ? screen() : QGuiApplication::primaryScreen()) {
    const QRect area = scr->availableGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
  }
  QDialog::showEvent(event);
  if (FMessageVariant) FB_BREAK2->setFocus();
  BringToFront();
}

void TFSB_BOX::BringToFront() {
  if (!FStayInFront || !isVisible()) return;
  raise();
  activateWindow();
}

void TFSB_BOX::changeEvent(QEvent* event) {
  QDialog::changeEvent(event);
  // Losing activation pulls the box back to the front until a link sent the user elsewhere.
  if (event->type() == QEvent::ActivationChange && FStayInFront && isVisible() && !isActiveWindow())
    QTimer::singleShot(0, this, &TFSB_BOX::BringToFront);
}

void TFSB_BOX::HelpClick() {
  if (FHelpText.isEmpty() || FP_help->isVisibleTo(this)) return;
  FHelpLabel->setText(FromCp1252(PrepareMessageText(Utf16ToCp1252(FHelpText.toStdU16String()))));
  const int height = LabelHeight(FHelpLabel) + 5;
  FHelpLabel->setGeometry(0, 0, kClientWidth, height - 5);
  FP_help->resize(kClientWidth, height);
  FP_help->show();
  if (isVisible()) LayoutOnShow();
}

void TFSB_BOX::LinkClick(const QString& link) {
  if (!link.contains("://") && !link.contains("mailto:")) return;
  FStayInFront = false;
  QDesktopServices::openUrl(QUrl(link));
  done(ResultCancel);
}

void TFSB_BOX::reject() {
  done(ResultCancel);
}

bool TFSB_BOX::HandleKey(QKeyEvent* event) {
  const int key = event->key();
  if (key == Qt::Key_F1) return true;
  if (IsModifierKey(key)) return false;
  const bool modified =
      event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
  if (FMessageVariant && !modified) {
    done(ResultCancel);
    return true;
  }
  if (!modified) return false;
  if (key == Qt::Key_Return || key == Qt::Key_Enter) {
    const QWidget* focused = focusWidget();
    const bool cancelTag = focused && focused->property("Tag").toInt() == kCancelOnEnterTag;
    done(cancelTag ? ResultCancel : ResultOk);
    return true;
  }
  if (key == Qt::Key_Escape) {
    done(ResultCancel);
    return true;
  }
  return false;
}

bool TFSB_BOX::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress && isVisible() && HandleKey(static_cast<QKeyEvent*>(event)))
    return true;
  return QDialog::eventFilter(watched, event);
}

void TFSB_BOX::keyPressEvent(QKeyEvent* event) {
  if (!HandleKey(event)) QDialog::keyPressEvent(event);
}

}  // namespace dz
