#pragma once
// What the detail window shows of one saved test: the header from its
// TestInfo row and the action grid from its detail file. Both start with the
// window's design contents and are filled step by step; a fault stops the
// filling where it happens and leaves the rest as it was.
#include <QDateTime>
#include <QString>
#include <vector>

namespace rig {

struct DetailField {
  QString Caption;
  QString Value;
  QString Unit;
  bool Visible = true;
};

struct DetailHeader {
  QString OpenType, OutIndex, WorkArea, WorkName;
  QString TypeText = QStringLiteral("寿命试验（单分单合）");
  DetailField First{QStringLiteral("分延时"), QStringLiteral("300"), QStringLiteral("ms")};
  DetailField Second{QStringLiteral("合延时"), QStringLiteral("300"), QStringLiteral("ms")};
  DetailField Count{QString(), QStringLiteral("500"), QStringLiteral("次")};
  bool SecondRowVisible = true;  // mode 20's open delay, close delay (s) and count
  QString SecondRow[3] = {QStringLiteral("10"), QStringLiteral("10"), QStringLiteral("500")};
  QString ActionType = QStringLiteral("不忽略拒动作");
  QDateTime StartTime{QDate(2018, 11, 7), QTime(22, 43, 3)};
  QString DetailPath;  // resolved detail file, empty until read
};

// The action list: columns, then lines; line 0 is the header line.
struct ActionGrid {
  struct Column {
    QString Caption;
    int Width = 80;
  };
  struct Line {
    QString Caption;
    std::vector<QString> Cells;  // one per column after the first
  };
  std::vector<Column> Columns;
  std::vector<Line> Lines;

  // The design columns, shown when the mode is none of the nine.
  static ActionGrid Design();
};

// Break colour of a grid column (1, 4, 7, 10 A1 yellow; 2, 5, ... B1 green;
// 3, 6, ... C1 red); column 0 has none (invalid colour).
struct Rgb {
  int R = -1, G = -1, B = -1;
  bool Valid() const { return R >= 0; }
  bool operator==(const Rgb&) const = default;
};
Rgb ActionCellColour(int column);

// Fills `header` and, through the mode's renderer, `grid` for the test with
// `autoId` in exeDir + "SaveData.db". Throws ESQLiteException when the
// database cannot be opened or queried (header and grid stay as they are).
void LoadTestSummary(const QString& exeDir, const QString& autoId, DetailHeader* header, ActionGrid* grid);

// Fills `header` from the TestInfo row with `autoId` and returns the mode
// whose action list is to be shown from header->DetailPath, or 0 when none
// is (a mode that is none of the nine, or the row could not be read that
// far). Throws like LoadTestSummary.
int LoadTestHeader(const QString& exeDir, const QString& autoId, DetailHeader* header);

// Builds the grid of `mode` from the detail file `path`; a mode that is none
// of the nine leaves the grid alone. A missing file shows the header line only
// and is not created.
void RenderActions(int mode, const QString& path, ActionGrid* grid);

}  // namespace rig
