#include "report/ReportPainter.h"

#include <QDir>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "report/RefusalStats.h"
#include "report/ReportLayout.h"
#include "report/ReportTexts.h"
#include "storage/ModeTexts.h"

namespace rig {

QString ReportFontFamily() {
  static const QString family = [] {
    const QString wanted = QStringLiteral("WenQuanYi Micro Hei");
    if (!QFontDatabase::families().contains(wanted)) {
      const int id = QFontDatabase::addApplicationFont(QStringLiteral("/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"));
      if (id >= 0 && !QFontDatabase::applicationFontFamilies(id).isEmpty())
        return QFontDatabase::applicationFontFamilies(id).first();
    }
    return wanted;
  }();
  return family;
}

namespace {

const QColor kInk(0x20, 0x20, 0x20);
const QColor kRefusedClose(0xC0, 0x39, 0x2B);
const QColor kRefusedOpen(0x2E, 0x6D, 0xB4);
const QColor kRefusedOther(0x80, 0x80, 0x80);

constexpr double kRow = ReportLayout::kRow;
constexpr double kListRow = 5.5;  // mm, a row of the refused-action list

QString Num(qint64 v) { return QString::number(v); }
QString CountOrDash(int v) { return v < 0 ? QStringLiteral("-") : Num(v); }

// A round step for an axis: 1, 2 or 5 times a power of ten, at least 1.
double NiceStep(double range, int ticks) {
  const double raw = std::max(1.0, range / ticks);
  const double p = std::pow(10.0, std::floor(std::log10(raw)));
  for (double m : {1.0, 2.0, 5.0, 10.0}) {
    if (m * p >= raw) return m * p;
  }
  return 10 * p;
}

// Refusals along the count axis: stacked bars of whole blocks, a tick per refused action.
void Chart(ReportLayout& L, const RefusalStats& stats, int setCount) {
  const double h = 62;
  L.Ensure(h);
  const double top = L.Top();
  const QRectF plot(14, top + 8, L.Width() - 18, h - 22);  // mm
  const int axisMax = std::max({stats.EndCount, setCount, 1});
  // Bars of whole blocks; at most 50 bars however long the test.
  const int blocksPerBar = std::max(1, int(std::ceil(double(stats.Blocks.size()) / 50.0)));
  const int bars = int((stats.Blocks.size() + blocksPerBar - 1) / blocksPerBar);
  std::vector<std::array<int, 3>> bar(static_cast<size_t>(bars), {0, 0, 0});
  for (size_t b = 0; b < stats.Blocks.size(); ++b) {
    auto& v = bar[b / blocksPerBar];
    v[0] += stats.Blocks[b].RefusedClosings;
    v[1] += stats.Blocks[b].RefusedOpenings;
  }
  int peak = 0;
  for (const auto& v : bar) peak = std::max(peak, v[0] + v[1]);
  const double yStep = NiceStep(std::max(peak, 1), 4);
  const double yMax = std::max(yStep, std::ceil(std::max(peak, 1) / yStep) * yStep);
  const double xMax = axisMax;  // a bar running past the end is cut at the axis

  auto X = [&](double count) { return plot.left() + plot.width() * std::clamp(count / xMax, 0.0, 1.0); };
  auto Y = [&](double v) { return plot.bottom() - plot.height() * v / yMax; };

  L.TextAt(QRectF(0, top, 60, 6), QStringLiteral("拒动作数"), Qt::AlignLeft | Qt::AlignVCenter, L.Font(8));
  // Legend.
  const struct {
    QColor c;
    const char16_t* t;
  } legend[] = {{kRefusedClose, u"拒合"}, {kRefusedOpen, u"拒分"}};
  double lx = L.Width() - 44;
  for (const auto& l : legend) {
    L.Fill(QRectF(lx, top + 1.5, 4, 3), l.c);
    L.TextAt(QRectF(lx + 5, top, 14, 6), QString::fromUtf16(l.t), Qt::AlignLeft | Qt::AlignVCenter, L.Font(8));
    lx += 20;
  }
  // Grid and y labels.
  for (double v = 0; v <= yMax + 1e-9; v += yStep) {
    L.Line(plot.left(), Y(v), plot.right(), Y(v), QColor(0xD0, 0xD0, 0xD0), 0.15);
    L.TextAt(QRectF(0, Y(v) - 2.5, plot.left() - 1.5, 5), Num(qint64(v)), Qt::AlignRight | Qt::AlignVCenter, L.Font(7.5));
  }
  // Bars, stacked: refused closings below, refused openings above.
  for (int i = 0; i < bars; ++i) {
    // The last bar ends where the test ended, not where its block would.
    const double from = double(i) * blocksPerBar * kBlockSize;
    const double to = std::min(from + double(blocksPerBar) * kBlockSize, double(std::max(stats.EndCount, 1)));
    const double x0 = X(from), x1 = X(to);
    const double gap = std::min(0.6, (x1 - x0) * 0.15);
    double base = 0;
    for (int kind = 0; kind < 2; ++kind) {
      const int n = bar[i][kind];
      if (n > 0)
        L.Fill(QRectF(QPointF(x0 + gap, Y(base + n)), QPointF(x1 - gap, Y(base))), kind == 0 ? kRefusedClose : kRefusedOpen);
      base += n;
    }
  }
  // Axes and x labels.
  L.Line(plot.left(), plot.top(), plot.left(), plot.bottom(), kInk, 0.3);
  L.Line(plot.left(), plot.bottom(), plot.right(), plot.bottom(), kInk, 0.3);
  const double xStep = NiceStep(xMax, 8);
  for (double v = 0; v <= xMax + 1e-9; v += xStep) {
    L.Line(X(v), plot.bottom(), X(v), plot.bottom() + 1.2, kInk, 0.3);
    L.TextAt(QRectF(X(v) - 10, plot.bottom() + 1.5, 20, 4.5), Num(qint64(v)), Qt::AlignCenter, L.Font(7.5));
  }
  // Each refused action as a tick under the axis, where it happened.
  for (const SavedAction* a : stats.Refused) {
    bool close = false, open = false;
    for (Refusal m : a->Found) {
      close |= m == Refusal::Close;
      open |= m == Refusal::Open;
    }
    L.Line(X(a->Count), plot.bottom() + 6.5, X(a->Count), plot.bottom() + 9,
         close ? kRefusedClose : open ? kRefusedOpen : kRefusedOther, 0.25);
  }
  if (setCount > 0 && setCount < xMax) {
    L.Line(X(setCount), plot.top(), X(setCount), plot.bottom(), kInk, 0.25, Qt::DashLine);
    L.TextAt(QRectF(X(setCount) - 25, plot.top() - 5, 24, 4.5), QStringLiteral("设定次数"), Qt::AlignRight | Qt::AlignVCenter,
           L.Font(7.5));
  }
  L.TextAt(QRectF(plot.left(), plot.bottom() + 9.5, plot.width(), 4.5),
         QStringLiteral("动作次数（每柱 %1 次；轴下短线为每一次拒动作）").arg(blocksPerBar * kBlockSize), Qt::AlignCenter,
         L.Font(7.5));
  if (stats.RefusedActions == 0)
    L.TextAt(plot, stats.UnjudgedActions == 0 ? QStringLiteral("无拒动作") : QStringLiteral("已判定的动作中无拒动作"),
           Qt::AlignCenter, L.Font(11, true), QColor(0x60, 0x60, 0x60));
  L.Space(h);
}

QString BreakCell(const SavedAction& a, int b) {
  if (a.Found[b] != Refusal::None) return RefusalText(a.Found[b]);
  return a.Closed[b] ? QStringLiteral("合") : QStringLiteral("分");
}

// How an action's refusals were found: "标记", "断口位置" or both.
QString FoundByText(const SavedAction& a) {
  bool marked = false, positions = false;
  for (int b = 0; b < 3; ++b) {
    if (a.Found[b] == Refusal::None) continue;
    (a.FromPositions[b] ? positions : marked) = true;
  }
  QStringList ways;
  if (marked) ways << QStringLiteral("标记");
  if (positions) ways << QStringLiteral("断口位置");
  if (ways.isEmpty()) return a.Judged ? QStringLiteral("正常") : QStringLiteral("未判定");
  return ways.join(QStringLiteral("、"));
}

void Paint(ReportLayout& L, const SavedTest& t, const ReportOptions& options) {
  const RefusalStats st = ComputeRefusalStats(t);
  const bool life = IsLifeMode(t.Mode);
  const int set = SetCount(t.Mode, t.Params);
  const double W = L.Width();
  using Cell = ReportLayout::Cell;
  int section = 0;
  auto numbered = [&section](const QString& title) {
    static const QString kNumbers = QStringLiteral("一二三四五六七八九");
    return kNumbers.mid(section++, 1) + QStringLiteral("、") + title;
  };

  L.Title(life ? QStringLiteral("高压开关机械寿命试验报告") : QStringLiteral("高压开关机械操作试验报告"),
          QStringLiteral("报告编号：%1").arg(t.ReportNumber.isEmpty() ? QStringLiteral("未编号") : t.ReportNumber));

  L.Section(numbered(QStringLiteral("试品与试验")));
  const std::vector<double> four = {W * 0.16, W * 0.34, W * 0.16, W * 0.34};
  auto pair = [](const QString& k1, const QString& v1, const QString& k2, const QString& v2) {
    return std::vector<Cell>{{k1, true}, {v1}, {k2, true}, {v2}};
  };
  int lastActionNo = 0;
  for (const SavedAction& a : t.Actions) lastActionNo = std::max(lastActionNo, a.ActionNo);
  const QString completion = CompletionText(t.Mode, t.Params, life ? st.EndCount : t.CountDone, lastActionNo);
  L.Row(four, {{QStringLiteral("开关型号"), true}, {t.OpenType, false, 3}});
  L.Row(four, pair(QStringLiteral("出厂编号"), t.OutIndex, QStringLiteral("工位"), StationWithAreaText(t.Station, t.WorkArea)));
  L.Row(four, pair(QStringLiteral("操作员"), t.WorkName, QStringLiteral("拒动作设定"), RefusalOptionText(t.IgnoreRefusals)));
  L.Row(four, {{QStringLiteral("测试类型"), true}, {SavedModeText(t.Mode), false, 3}});
  L.Row(four, {{QStringLiteral("动作顺序"), true}, {SequenceText(t.Mode, t.Params), false, 3}});
  L.Row(four, pair(QStringLiteral("设定次数"), CountOrDash(set), QStringLiteral("完成次数"), Num(t.CountDone)));
  L.Row(four, {{QStringLiteral("完成情况"), true},
               {completion, false, 3, completion == QStringLiteral("已完成") ? kInk : kRefusedClose, true}});
  L.Row(four, pair(QStringLiteral("开始时间"), t.StartText, QStringLiteral("结束时间"), t.EndText));
  L.Row(four, pair(QStringLiteral("试验时长"), DurationText(t.StartText, t.EndText), QStringLiteral("动作记录"),
                   QStringLiteral("%1 条").arg(st.Actions)));
  L.Space(5);

  L.Section(numbered(QStringLiteral("拒动作统计")));
  const std::vector<double> five = {W * 0.16, W * 0.17, W * 0.17, W * 0.17, W * 0.33};
  L.Table(five, {QStringLiteral("断口"), QStringLiteral("拒合"), QStringLiteral("拒分"), QStringLiteral("合计"),
                 QStringLiteral("首次拒动作时次数")},
          4, kRow, [&](int i) {
            const Qt::Alignment c = Qt::AlignCenter;
            if (i == 3) {
              int closings = 0, openings = 0;
              for (const BreakRefusals& b : st.Breaks) closings += b.Closings, openings += b.Openings;
              return std::vector<Cell>{{QStringLiteral("合计"), true, 1, kInk, true, c},
                                       {Num(closings), false, 1, kInk, true, c},
                                       {Num(openings), false, 1, kInk, true, c},
                                       {Num(closings + openings), false, 1, kInk, true, c},
                                       {CountOrDash(st.FirstRefusalCount), false, 1, kInk, true, c}};
            }
            const BreakRefusals& b = st.Breaks[i];
            auto ink = [](int n) { return n > 0 ? kRefusedClose : kInk; };
            return std::vector<Cell>{{QStringLiteral("ABC").mid(i, 1) + QStringLiteral("1"), true, 1, kInk, true, c},
                                     {Num(b.Closings), false, 1, ink(b.Closings), false, c},
                                     {Num(b.Openings), false, 1, ink(b.Openings), false, c},
                                     {Num(b.Closings + b.Openings + b.Others), false, 1, ink(b.Closings + b.Openings + b.Others), false, c},
                                     {CountOrDash(b.FirstCount), false, 1, ink(b.FirstCount + 1), false, c}};
          });
  L.Space(2);
  for (const QString& text : JudgementTexts(t, st)) L.Paragraph(text);
  if (st.Actions == 0)
    L.Paragraph(QStringLiteral("明细文件中没有动作记录：%1").arg(QDir::toNativeSeparators(t.DetailPath)), kRefusedClose);
  else if (st.FirstRefusalCount < 0)
    L.Paragraph(st.UnjudgedActions == 0 ? QStringLiteral("全部 %1 次动作均已判定，无拒动作。").arg(st.Actions)
                                        : QStringLiteral("已判定的 %1 次动作中无拒动作。").arg(st.Actions - st.UnjudgedActions));
  else
    L.Paragraph(QStringLiteral("首次拒动作：第 %1 次（动作序号 %2）；有拒动作的动作共 %3 次。")
                    .arg(st.FirstRefusalCount)
                    .arg(st.FirstRefusalAction)
                    .arg(st.RefusedActions),
                kRefusedClose);
  L.Space(4);

  if (life) {
    L.Section(numbered(QStringLiteral("拒动作沿动作次数的分布")));
    Chart(L, st, set);
    L.Space(4);

    L.Section(numbered(QStringLiteral("分段统计（每 %1 次）").arg(kBlockSize)));
    L.Paragraph(CountMeaningText(t.Mode) + QStringLiteral("；末段止于试验结束时的次数 %1。").arg(st.EndCount));
    const std::vector<double> six = {W * 0.10, W * 0.26, W * 0.16, W * 0.16, W * 0.16, W * 0.16};
    int cumulative = 0;
    L.Table(six, {QStringLiteral("段"), QStringLiteral("次数范围"), QStringLiteral("动作数"), QStringLiteral("拒合"),
                  QStringLiteral("拒分"), QStringLiteral("累计拒动作")},
            int(st.Blocks.size()), kRow, [&](int i) {
              const CountBlock& b = st.Blocks[i];
              cumulative += b.RefusedActions;
              const Qt::Alignment c = Qt::AlignCenter;
              auto ink = [](int n) { return n > 0 ? kRefusedClose : kInk; };
              return std::vector<Cell>{{Num(i + 1), false, 1, kInk, false, c},
                                       {QStringLiteral("%1 – %2").arg(b.FirstCount).arg(b.LastCount), false, 1, kInk, false, c},
                                       {Num(b.Actions), false, 1, kInk, false, c},
                                       {Num(b.RefusedClosings), false, 1, ink(b.RefusedClosings), false, c},
                                       {Num(b.RefusedOpenings), false, 1, ink(b.RefusedOpenings), false, c},
                                       {Num(cumulative), false, 1, kInk, false, c}};
            });
    L.Space(5);
  }

  // A life test lists its refused actions; an operation test, having only a
  // few, lists every one with how it went.
  std::vector<const SavedAction*> rows;
  if (life) rows = st.Refused;
  else for (const SavedAction& a : t.Actions) rows.push_back(&a);
  L.Section(numbered(life ? QStringLiteral("拒动作明细") : QStringLiteral("动作明细")));
  const int listed = std::min<int>(int(rows.size()), options.MaxListedRefusals);
  if (listed == 0) {
    L.Paragraph(QStringLiteral("无。"));
  } else {
    const std::vector<double> cols = {W * 0.09, W * 0.15, W * 0.15, W * 0.13, W * 0.13, W * 0.13, W * 0.22};
    L.Table(cols, {QStringLiteral("序号"), QStringLiteral("动作次数"), QStringLiteral("动作序号"), QStringLiteral("A1"),
                   QStringLiteral("B1"), QStringLiteral("C1"), QStringLiteral("依据")},
            listed, kListRow, [&](int i) {
              const SavedAction& a = *rows[i];
              const Qt::Alignment c = Qt::AlignCenter;
              std::vector<Cell> row = {{Num(i + 1), false, 1, kInk, false, c},
                                       {Num(a.Count), false, 1, kInk, false, c},
                                       {Num(a.ActionNo), false, 1, kInk, false, c}};
              for (int b = 0; b < 3; ++b) {
                const bool refused = a.Found[b] != Refusal::None;
                row.push_back({BreakCell(a, b), false, 1, refused ? kRefusedClose : QColor(0x70, 0x70, 0x70), refused, c});
              }
              row.push_back({FoundByText(a), false, 1, kInk, false, c});
              return row;
            });
    if (int(rows.size()) > listed)
      L.Paragraph(QStringLiteral("另有 %1 次拒动作未在此列出，完整记录见动作记录导出文件。").arg(int(rows.size()) - listed));
  }
  L.Signatures();
}

}  // namespace

int PaintReport(QPagedPaintDevice& device, const SavedTest& test, const ReportOptions& options) {
  QString left = QStringLiteral("HX4417 高压开关机械寿命试验台");
  if (!StationText(test.Station).isEmpty()) left += QStringLiteral(" · ") + StationText(test.Station);
  return PaintPages(device, {left, test.ReportNumber, options.Made},
                    [&](ReportLayout& L) { Paint(L, test, options); });
}

}  // namespace rig
