#include "endurance/ProgrammeReport.h"

#include <QBuffer>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QTextDocument>

#include "endurance/ProgrammeRules.h"
#include "report/ReportPainter.h"
#include "report/ReportTexts.h"
#include "report/SafeWrite.h"
#include "testing/TestModes.h"

namespace rig {
namespace {

QString Cell(const QString& text) { return QStringLiteral("<td>%1</td>").arg(text.toHtmlEscaped().replace('\n', "<br>")); }
QString Row(const QStringList& cells) {
  QString row = QStringLiteral("<tr>");
  for (const QString& c : cells) row += Cell(c);
  return row + QStringLiteral("</tr>");
}
QString Time(const QDateTime& t) { return t.isValid() ? t.toString(QStringLiteral("yyyy-MM-dd hh:mm")) : QString(); }

QString WorkText(const Inspection& i) {
  switch (i.Work) {
    case InspectionWork::Nothing: return QStringLiteral("无");
    case InspectionWork::Lubrication: return QStringLiteral("润滑");
    case InspectionWork::Other: break;
  }
  return QStringLiteral("其他：") + i.WorkText;
}

}  // namespace

QString ProgrammeReportHtml(const Programme& p, const QDateTime& made) {
  const ProgrammeIdentity& id = p.Identity;
  QString h = QStringLiteral("<h2 align=center>机械寿命试验方案报告</h2><table border=1 cellspacing=0 cellpadding=3 width=100%>");
  h += Row({QStringLiteral("开关型号"), id.SwitchModel, QStringLiteral("出厂编号"), id.FactoryNumber});
  h += Row({QStringLiteral("制造厂"), id.Manufacturer, QStringLiteral("委托方"), id.Customer});
  h += Row({QStringLiteral("工位"), StationWithAreaText(p.Station, id.StationText), QStringLiteral("操作员"), id.OperatorName});
  h += Row({QStringLiteral("标准"), StandardName(p.Standard), QStringLiteral("目标等级"),
            QStringLiteral("%1（%2次）").arg(p.ClassName, CountText(p.Target))});
  h += Row({QStringLiteral("方案开始"), Time(p.CreatedAt), QStringLiteral("方案结束"),
            p.EndedAt.isValid() ? Time(p.EndedAt) : QStringLiteral("未结束")});
  if (!id.Remarks.isEmpty()) h += Row({QStringLiteral("备注"), id.Remarks, QString(), QString()});
  h += QStringLiteral("</table><p>次数按控制器的计数：");
  QStringList meanings;
  for (const ProgrammeBlock& b : p.Blocks)
    if (const QString m = CountMeaningText(b.Mode); !meanings.contains(m)) meanings << m;
  h += meanings.join(QStringLiteral("；")).toHtmlEscaped() + QStringLiteral("。</p>");

  h += QStringLiteral("<h3>各段</h3><table border=1 cellspacing=0 cellpadding=3 width=100%>");
  h += Row({QStringLiteral("段"), QStringLiteral("试验方式"), QStringLiteral("次数"), QStringLiteral("累计"),
            QStringLiteral("循环时间"), QStringLiteral("控制电压"), QStringLiteral("段后检查")});
  const double first = p.Blocks.empty() ? 0 : p.Blocks[0].Cycles.MeanMs;
  int32_t cumulative = 0;
  for (int b = 1; b <= static_cast<int>(p.Blocks.size()); ++b) {
    const ProgrammeBlock& k = p.Blocks[b - 1];
    const TestModeInfo* mode = FindTestMode(k.Mode);
    cumulative += BlockDone(p, b);
    int runs = 0;
    for (const BlockRun& r : p.Runs) runs += r.Block == b;
    QString cycles = CycleStatsText(k.Cycles);
    if (b > 1 && first > 0 && k.Cycles.Cycles > 0)
      cycles += QStringLiteral("，比第1段%1%").arg(QString::asprintf("%+.1f", (k.Cycles.MeanMs / first - 1) * 100));
    QString voltage = k.VoltageNote;
    if (!k.VoltageConfirmedBy.isEmpty())
      voltage += QStringLiteral("\n%1确认 %2").arg(k.VoltageConfirmedBy, Time(k.VoltageConfirmedAt));
    QString check;
    if (const Inspection* i = FindInspection(p, b)) {
      check = QStringLiteral("%1，处理：%2\n%3 %4").arg(i->Checked, WorkText(*i), i->ByWhom, Time(i->At));
      for (const Measurement& m : i->Measurements)
        check += QStringLiteral("\n%1 %2 %3（%4–%5）%6").arg(m.Name).arg(m.Value).arg(m.Unit).arg(m.Low).arg(m.High).arg(
            JudgementText(Judge(m)));
    }
    h += Row({QString::number(b), mode ? QString::fromUtf16(mode->Word) : QString(),
              QStringLiteral("%1/%2（%3次测试）").arg(CountText(BlockDone(p, b)), CountText(k.Count)).arg(runs),
              CountText(cumulative), cycles, voltage, check});
  }
  h += QStringLiteral("</table>");
  if (p.Failure) {
    const ProgrammeFailure& f = *p.Failure;
    h += QStringLiteral("<p>首次拒动作：第%1次（第%2段，该段测试的第%3个动作，%4，依据：%5），%6。之后的次数不计入等级。</p>")
             .arg(CountText(f.Operation))
             .arg(f.Block)
             .arg(f.ActionNo)
             .arg(FailureBreakText(f, false), f.Marked ? QStringLiteral("拒动作标记") : QStringLiteral("断口位置"), Time(f.At));
  }
  h += QStringLiteral("<h3>判定：%1</h3>").arg(VerdictTextZh(VerdictOf(p)).toHtmlEscaped());
  h += QStringLiteral("<p>%1</p>").arg(VerdictText(VerdictOf(p)).toHtmlEscaped());
  h += QStringLiteral("<p>试验：__________　　审核：__________　　批准：__________</p><p align=right>报告生成：%1</p>")
           .arg(Time(made));
  return h;
}

void WriteProgrammeReport(const Programme& p, const QString& path, const QDateTime& made) {
  QByteArray bytes;
  {
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setResolution(300);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(18, 14, 18, 12),
                                     QPageLayout::Millimeter));
    writer.setTitle(QStringLiteral("试验方案报告 %1 %2").arg(p.Identity.SwitchModel, p.Identity.FactoryNumber));
    writer.setCreator(QStringLiteral("HX4417"));
    QTextDocument doc;
    QFont font(ReportFontFamily());
    font.setPointSizeF(9.5);
    doc.setDefaultFont(font);
    doc.setHtml(ProgrammeReportHtml(p, made));
    doc.print(&writer);
  }
  WriteFileSafely(path, bytes);
}

}  // namespace rig
