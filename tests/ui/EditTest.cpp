// The digits-only entry style and the exit event of the panels' edits.
#include "ui/Edit.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QMimeData>
#include <QTest>

namespace rig {
namespace {

void SendText(QWidget* w, const QString& text) {
  QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, text);
  QApplication::sendEvent(w, &press);
}

void Commit(QWidget* w, const QString& text) {
  QInputMethodEvent ev;
  ev.setCommitString(text);
  QApplication::sendEvent(w, &ev);
}

TEST(EditDigitsOnly, RefusesEveryWayANonDigitCouldComeIn) {
  for (bool digitsOnly : {true, false}) {
    SCOPED_TRACE(digitsOnly);
    TEdit edit;
    edit.SetNumbersOnly(digitsOnly);

    SendText(&edit, QStringLiteral("1"));
    SendText(&edit, QStringLiteral("x"));
    SendText(&edit, QStringLiteral("１"));  // full-width digit: not a number to the parser either
    Commit(&edit, QStringLiteral("中"));
    Commit(&edit, QStringLiteral("2"));
    EXPECT_EQ(edit.text(), digitsOnly ? QStringLiteral("12") : QStringLiteral("1x１中2"));

    QApplication::clipboard()->setText(QStringLiteral("3a"));
    QTest::keyClick(&edit, Qt::Key_V, Qt::ControlModifier);
    QApplication::clipboard()->setText(QStringLiteral("45"));
    QTest::keyClick(&edit, Qt::Key_V, Qt::ControlModifier);
    EXPECT_TRUE(edit.text().endsWith(digitsOnly ? QStringLiteral("1245") : QStringLiteral("3a45")));
  }
}

TEST(EditDigitsOnly, ProgramTextStaysAndCanBeEdited) {
  TEdit edit;
  edit.SetNumbersOnly(true);
  edit.setText(QStringLiteral("二号A"));
  EXPECT_EQ(edit.text(), QStringLiteral("二号A"));
  edit.end(false);
  QTest::keyClick(&edit, Qt::Key_Backspace);
  SendText(&edit, QStringLiteral("7"));
  SendText(&edit, QStringLiteral("b"));
  EXPECT_EQ(edit.text(), QStringLiteral("二号7"));
  QTest::keyClick(&edit, Qt::Key_Home);
  QTest::keyClick(&edit, Qt::Key_Delete);
  EXPECT_EQ(edit.text(), QStringLiteral("号7"));
}

// Dropping goes through the same door as typing.
class DropTarget : public TEdit {
 public:
  void Drop(const QString& text) {
    QMimeData data;
    data.setText(text);
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    dropEvent(&drop);
  }
};

TEST(EditDigitsOnly, DropOfTextWithNonDigitsIsRefused) {
  for (bool digitsOnly : {true, false}) {
    DropTarget edit;
    edit.SetNumbersOnly(digitsOnly);
    edit.Drop(QStringLiteral("12x"));
    edit.Drop(QStringLiteral("34"));
    EXPECT_EQ(edit.text().contains(QLatin1Char('x')), !digitsOnly);
    EXPECT_TRUE(edit.text().contains(QStringLiteral("34")));
  }
}

TEST(EditExit, FiresWhenTheFocusMovesWithinTheWindowOnly) {
  struct {
    Qt::FocusReason reason;
    bool exits;
  } cases[] = {{Qt::TabFocusReason, true},         {Qt::BacktabFocusReason, true},
               {Qt::MouseFocusReason, true},       {Qt::OtherFocusReason, true},
               {Qt::ActiveWindowFocusReason, false}, {Qt::PopupFocusReason, false}};
  for (const auto& c : cases) {
    TEdit edit;
    int exits = 0;
    QObject::connect(&edit, &TEdit::exited, [&] { ++exits; });
    QFocusEvent out(QEvent::FocusOut, c.reason);
    QApplication::sendEvent(&edit, &out);
    EXPECT_EQ(exits, c.exits ? 1 : 0) << c.reason;
  }
}

}  // namespace
}  // namespace rig

namespace rig {
namespace {

// Each way a character comes in, with what GBK cannot hold (a rare CJK
// extension A character, one beyond the BMP): refused whole,
// the edit keeps its text and says which characters; what GBK holds goes in.
TEST(EditGbkOnly, RefusesWhatGbkCannotHoldHoweverItComesInAndSaysWhich) {
  const QString rare = QStringLiteral("䶮");
  const QString beyond = QString::fromUcs4(U"\U00020BB7");  // 𠮷
  struct Row {
    const char* way;
    QString entered;
    QString expected;   // the text afterwards, starting from "刘"
    QString named;      // characters the refusal names; empty: accepted
  } rows[] = {
      {"typed", rare, QStringLiteral("刘"), rare},
      {"typed", QStringLiteral("德华"), QStringLiteral("刘德华"), {}},
      {"committed", beyond, QStringLiteral("刘"), beyond},
      {"pasted", QStringLiteral("A") + rare + beyond + rare, QStringLiteral("刘"), rare + QStringLiteral("”“") + beyond},
      {"pasted", QStringLiteral("-12"), QStringLiteral("刘-12"), {}},
      {"dropped", QStringLiteral("x") + beyond, QStringLiteral("刘"), beyond},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.way);
    DropTarget edit;
    edit.SetGbkOnly(true);
    edit.setText(QStringLiteral("刘"));
    QStringList told;
    QObject::connect(&edit, &TEdit::refused, [&told](const QString& why) { told << why; });
    const QString way = QString::fromLatin1(row.way);
    if (way == "typed") {
      SendText(&edit, row.entered);
    } else if (way == "committed") {
      Commit(&edit, row.entered);
    } else if (way == "pasted") {
      QApplication::clipboard()->setText(row.entered);
      QTest::keyClick(&edit, Qt::Key_V, Qt::ControlModifier);
    } else {
      edit.Drop(row.entered);
    }
    EXPECT_EQ(edit.text(), row.expected);
    ASSERT_EQ(told.size(), row.named.isEmpty() ? 0 : 1);
    if (!row.named.isEmpty()) {
      EXPECT_TRUE(told[0].startsWith(QStringLiteral("“") + row.named + QStringLiteral("”无法输入"))) << told[0].toStdString();
      EXPECT_EQ(edit.LastRefusal(), told[0]);
    }
  }
}

}  // namespace
}  // namespace rig
