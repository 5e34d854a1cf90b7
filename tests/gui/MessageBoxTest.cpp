// The message box: how its text is prepared, how it lays itself out, its keys, help and
// links.

#include <QApplication>
#include <QDesktopServices>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include "ui/FSB_BOX.h"

using namespace dz;

namespace {

std::string NumberedLines(int count, const char* sep) {
  std::string s;
  for (int i = 1; i <= count; ++i) {
    if (i > 1) s += sep;
    s += "Zeile " + std::to_string(i);
  }
  return s;
}

}  // namespace

class UrlCatcher : public QObject {
  Q_OBJECT
 public:
  QList<QUrl> urls;
 public slots:
  void open(const QUrl& url) { urls << url; }
};

class MessageBoxTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { QApplication::setApplicationDisplayName("Dirivararez"); }

  void TextPreparation_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("html");
    QTest::newRow("one line with bold words")
        << QByteArray("Dazu muss ein Auftrag in <b>Marvella</b> auf <b>bearbeiten</b> stehen.")
        << QByteArray("Dazu muss ein Auftrag in <b>Marvella</b> auf <b>bearbeiten</b> stehen.");
    QTest::newRow("CR LF and <br> in any case are the same break")
        << QByteArray("a<br>b\r\nc<BR>d<bR>e") << QByteArray("a<br>b<br>c<br>d<br>e");
    QTest::newRow("empty lines at the top are dropped")
        << QByteArray("\r\n\r\nabc\r\ndef") << QByteArray("abc<br>def");
    QTest::newRow("empty <br> lines at the top too") << QByteArray("<br><BR>x") << QByteArray("x");
    QTest::newRow("later empty lines stay")
        << QByteArray("a\r\n\r\nb<br><br>c") << QByteArray("a<br><br>b<br><br>c");
    QTest::newRow("a final break ends the last line") << QByteArray("a\r\n") << QByteArray("a");
    QTest::newRow("lone LF is no break") << QByteArray("a\nb") << QByteArray("a\nb");
    QTest::newRow("empty") << QByteArray("") << QByteArray("");
    QTest::newRow("only breaks") << QByteArray("\r\n<br>\r\n") << QByteArray("");
    QTest::newRow("21 lines are kept whole") << QByteArray(NumberedLines(21, "\r\n").c_str())
                                             << QByteArray(NumberedLines(21, "<br>").c_str());
    QTest::newRow("30 lines: 1 to 21, dots, 30")
        << QByteArray(NumberedLines(30, "\r\n").c_str())
        << QByteArray((NumberedLines(21, "<br>") + "<br>................<br>Zeile 30").c_str());
    QTest::newRow("22 lines: 1 to 21, dots, 22")
        << QByteArray(NumberedLines(22, "<br>").c_str())
        << QByteArray((NumberedLines(21, "<br>") + "<br>................<br>Zeile 22").c_str());
    QTest::newRow("dropped top lines do not count")
        << QByteArray(("\r\n\r\n" + NumberedLines(21, "\r\n")).c_str())
        << QByteArray(NumberedLines(21, "<br>").c_str());
  }
  void TextPreparation() {
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, html);
    QCOMPARE(QByteArray::fromStdString(PrepareMessageText(text.toStdString())), html);
  }

  void TheMessageVariantShowsItsTextAndOnlyItsPanel() {
    TFSB_BOX box;
    box.PrepareMessage(
        "Gr\xF6\xDF"
        "e<br>zweite Zeile",
        "", "");
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    QCOMPARE(box.MessageLabel()->text(), QString::fromUtf8("Größe<br>zweite Zeile"));
    QCOMPARE(box.windowTitle(), QString("Dirivararez"));
    QVERIFY(box.findChild<QWidget*>("Pmsg")->isVisible());
    QVERIFY(!box.findChild<QWidget*>("Pquestion")->isVisible());
    QVERIFY(!box.findChild<QWidget*>("Pinput")->isVisible());
    QVERIFY(!box.findChild<QWidget*>("FP_help")->isVisible());
    QVERIFY(!box.findChild<QPushButton*>("FBhelpS")->isVisible());
    QCOMPARE(box.findChild<QPushButton*>("FB_BREAK2")->text(), QString::fromUtf8("Schließen"));
    QVERIFY(box.windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY(box.findChild<QPushButton*>("FB_BREAK2")->hasFocus());

    // The buttons sit right below the text, and the box is just tall enough for both.
    const int labelHeight = box.MessageLabel()->height();
    QVERIFY(labelHeight > 0);
    QCOMPARE(box.findChild<QWidget*>("Pmsg")->y(), labelHeight + 2);
    QCOMPARE(box.height(), labelHeight + 37);

    TFSB_BOX titled;
    titled.PrepareMessage("x", "", "Eigener Titel");
    QCOMPARE(titled.windowTitle(), QString("Eigener Titel"));
  }

  void ALongTextIsCappedAtSevenTenthsOfTheScreen() {
    TFSB_BOX box;
    std::string text;
    for (int i = 0; i < 20; ++i)
      text += "Ein sehr langer Absatz, der sich über viele Zeilen zieht. ";
    text = NumberedLines(20, "<br>") + "<br>" + text + text + text + text;
    box.PrepareMessage(text, "", "");
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    QVERIFY(box.height() <= box.screen()->geometry().height() * 7 / 10);
  }

  void Keys_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<int>("focusTag");
    QTest::addColumn<int>("result");  // 0: stays open
    QTest::newRow("space closes") << int(Qt::Key_Space) << 0 << 0 << 2;
    QTest::newRow("a letter closes") << int(Qt::Key_A) << 0 << 0 << 2;
    QTest::newRow("plain Enter cancels") << int(Qt::Key_Return) << 0 << 0 << 2;
    QTest::newRow("plain Esc cancels") << int(Qt::Key_Escape) << 0 << 0 << 2;
    QTest::newRow("F1 is swallowed") << int(Qt::Key_F1) << 0 << 0 << 0;
    QTest::newRow("Shift+Enter confirms")
        << int(Qt::Key_Return) << int(Qt::ShiftModifier) << 0 << 1;
    QTest::newRow("Ctrl+keypad Enter confirms")
        << int(Qt::Key_Enter) << int(Qt::ControlModifier | Qt::KeypadModifier) << 0 << 1;
    QTest::newRow("Ctrl+Enter on a tag-20 control cancels")
        << int(Qt::Key_Return) << int(Qt::ControlModifier) << 20 << 2;
    QTest::newRow("Alt+Esc cancels") << int(Qt::Key_Escape) << int(Qt::AltModifier) << 0 << 2;
    QTest::newRow("Ctrl+letter leaves it open")
        << int(Qt::Key_A) << int(Qt::ControlModifier) << 0 << 0;
    QTest::newRow("Shift alone leaves it open")
        << int(Qt::Key_Shift) << int(Qt::ShiftModifier) << 0 << 0;
  }
  void Keys() {
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(int, focusTag);
    QFETCH(int, result);
    TFSB_BOX box;
    box.PrepareMessage("Dazu muss ein Auftrag in <b>Marvella</b> auf <b>bearbeiten</b> stehen.", "",
                       "");
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    QWidget* target = box.findChild<QPushButton*>("FB_BREAK2");
    target->setProperty("Tag", focusTag);
    box.setResult(0);
    QTest::keyClick(target, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(box.result(), result);
    QCOMPARE(box.isVisible(), result == 0);
  }

  void ShowMessageRunsModallyAndReturnsTheResult() {
    QTimer::singleShot(0, [] {
      QWidget* modal = QApplication::activeModalWidget();
      if (modal)
        QTest::keyClick(modal->focusWidget() ? modal->focusWidget() : modal, Qt::Key_Space);
    });
    QCOMPARE(TFSB_BOX::ShowMessage("Hallo"), 2);
  }

  void HelpGrowsTheBoxByItsText() {
    TFSB_BOX box;
    box.PrepareMessage("Text", "\r\nHilfe<br>zweite Zeile", "");
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    auto* help = box.findChild<QPushButton*>("FBhelpS");
    QVERIFY(help->isVisible());
    const int before = box.height();
    QTest::mouseClick(help, Qt::LeftButton);
    QWidget* panel = box.findChild<QWidget*>("FP_help");
    QVERIFY(panel->isVisible());
    QCOMPARE(box.HelpLabel()->text(), QString("Hilfe<br>zweite Zeile"));
    QCOMPARE(panel->height(), box.HelpLabel()->heightForWidth(box.width()) + 5);
    QCOMPARE(box.height(), before + panel->height());
    QCOMPARE(panel->y(), box.MessageLabel()->height() + 37);
    QTest::mouseClick(help, Qt::LeftButton);
    QCOMPARE(box.height(), before + panel->height());  // a second press changes nothing
  }

  void LinksGoToTheDesktopAndCloseTheBox_data() {
    QTest::addColumn<QString>("link");
    QTest::addColumn<bool>("opened");
    QTest::newRow("web address") << "https://example.invalid/hilfe" << true;
    QTest::newRow("mail") << "mailto:hilfe@example.invalid" << true;
    QTest::newRow("anchor without scheme") << "#abschnitt" << false;
  }
  void LinksGoToTheDesktopAndCloseTheBox() {
    QFETCH(QString, link);
    QFETCH(bool, opened);
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler("https", &catcher, "open");
    QDesktopServices::setUrlHandler("mailto", &catcher, "open");
    TFSB_BOX box;
    box.PrepareMessage("Siehe <a href=\"" + link.toStdString() + "\">hier</a>", "", "");
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    box.setResult(0);
    emit box.MessageLabel()->linkActivated(link);
    QDesktopServices::unsetUrlHandler("https");
    QDesktopServices::unsetUrlHandler("mailto");
    QCOMPARE(catcher.urls.size(), opened ? 1 : 0);
    if (opened) QCOMPARE(catcher.urls.first(), QUrl(link));
    QCOMPARE(box.result(), opened ? 2 : 0);
    QCOMPARE(box.isVisible(), !opened);
  }
};

QTEST_MAIN(MessageBoxTest)
#include "MessageBoxTest.moc"
