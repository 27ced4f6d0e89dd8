#include "ui/UDlgAbout.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>

#include "ui/DesignFont.h"

namespace rig {
namespace {

QLabel* NewLabel(QWidget* parent, const char* name, const QString& text, int left, int top) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QLatin1String(name));
  label->adjustSize();
  label->move(left, top);
  return label;
}

}  // namespace

TFrmAbout::TFrmAbout(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("FrmAbout"));
  setWindowTitle(QStringLiteral("关于"));
  setFont(DesignFont());
  setFixedSize(277, 211);
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);

  auto* title = new QLabel(QStringLiteral("高压开关机械寿命磨合试验系统V1p3"), this);
  title->setObjectName(QStringLiteral("lblSystemtitle"));
  QFont bold = title->font();
  bold.setBold(true);
  title->setFont(bold);
  title->adjustSize();
  title->move(16, 34);
  NewLabel(this, "lblVersion", QStringLiteral("版本1p3"), 44, 72);
  NewLabel(this, "Label4", QStringLiteral("2019-04-18"), 41, 107);

  auto* bevel = new QFrame(this);
  bevel->setObjectName(QStringLiteral("Bevel1"));
  bevel->setFrameStyle(QFrame::HLine | QFrame::Sunken);
  bevel->setGeometry(0, 152, 275, 2);

  auto* close = new QPushButton(QStringLiteral("关闭"), this);
  close->setObjectName(QStringLiteral("BitBtn1"));
  close->setGeometry(96, 168, 75, 25);
  connect(close, &QPushButton::clicked, this, &TFrmAbout::BitBtn1Click);
}

void TFrmAbout::BitBtn1Click() { close(); }

void ShowAbout(QWidget* owner) {
  TFrmAbout box(owner);
  box.exec();
}

}  // namespace rig
