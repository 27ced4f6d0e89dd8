#include "ui/SetCommfrm.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSerialPortInfo>

#include "station/Config.h"
#include "station/GlobVar.h"
#include "core/IniFile.h"
#include "core/Notifier.h"
#include "ui/DesignFont.h"
#include "ui/AlertSettingsfrm.h"
#include "ui/LabSettingsfrm.h"

namespace rig {
namespace {

constexpr int kLabelLeft = 42;
constexpr int kEntryLeft = 110;
constexpr int kEntryWidth = 105;

void AquaOnBlack(QWidget* w) {
  QPalette p = w->palette();
  for (QPalette::ColorRole role : {QPalette::Base, QPalette::Button, QPalette::Window})
    p.setColor(role, Qt::black);
  for (QPalette::ColorRole role : {QPalette::Text, QPalette::ButtonText, QPalette::WindowText})
    p.setColor(role, QColor(0, 255, 255));
  w->setPalette(p);
}

template <class Entry>
Entry* AddRow(QWidget* dialog, const char* name, const QString& label, int top) {
  auto* l = new QLabel(label, dialog);
  l->adjustSize();
  l->move(kLabelLeft, top);
  auto* entry = new Entry(dialog);
  entry->setObjectName(QLatin1String(name));
  // Entries are 21 high, centred on their label.
  entry->setGeometry(kEntryLeft, top + (l->height() - 21) / 2, kEntryWidth, 21);
  AquaOnBlack(entry);
  return entry;
}

}  // namespace

QStringList PresentSerialPorts() {
  QStringList names;
  for (const QSerialPortInfo& port : QSerialPortInfo::availablePorts()) names << port.portName();
  return names;
}

QString InvalidIntegerMessage(const QString& text) {
  return QStringLiteral("'%1' is not a valid integer value").arg(text);
}

TfrmSetComm::TfrmSetComm(GlobVar& shared, INotifier& notifier, QWidget* parent, PortLister listPorts)
    : QDialog(parent), shared_(shared), notifier_(notifier), listPorts_(std::move(listPorts)) {
  setObjectName(QStringLiteral("frmSetComm"));
  setWindowTitle(QStringLiteral("通讯设置"));
  setFont(DesignFont());
  setFixedSize(255, 286);
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);

  CBox_WorkArea = AddRow<QComboBox>(this, "CBox_WorkArea", QStringLiteral("工位："), 25);
  CBox_WorkArea->addItems({QStringLiteral("工位1"), QStringLiteral("工位2")});
  CBox_WorkArea->setCurrentIndex(0);

  CombComm = AddRow<QComboBox>(this, "CombComm", QStringLiteral("通讯串口："), 56);
  CombComm->setEditable(true);
  CombComm->setInsertPolicy(QComboBox::NoInsert);

  Edt_DataNum = AddRow<QLineEdit>(this, "Edt_DataNum", QStringLiteral("数据位："), 83);

  Edt_StopNum = AddRow<QComboBox>(this, "Edt_StopNum", QStringLiteral("停止位："), 115);
  Edt_StopNum->addItems({QStringLiteral("1"), QStringLiteral("1.5"), QStringLiteral("2")});

  CBx_Mark = AddRow<QComboBox>(this, "CBx_Mark", QStringLiteral("校验位："), 144);
  CBx_Mark->addItems({QStringLiteral("None"), QStringLiteral("Odd"), QStringLiteral("Even"), QStringLiteral("Mark"),
                      QStringLiteral("Space")});

  CombBaud = AddRow<QComboBox>(this, "CombBaud", QStringLiteral("波特率："), 173);
  CombBaud->setEditable(true);
  CombBaud->setInsertPolicy(QComboBox::NoInsert);
  CombBaud->addItems({QStringLiteral("300"), QStringLiteral("600"), QStringLiteral("1200"), QStringLiteral("2400"),
                      QStringLiteral("9600"), QStringLiteral("28800"), QStringLiteral("57600"),
                      QStringLiteral("115200"), QStringLiteral("230400")});
  // A rate typed into the box is not a chosen entry.
  connect(CombBaud->lineEdit(), &QLineEdit::textEdited, this, [this] { baudTyped_ = true; });
  connect(CombBaud, &QComboBox::activated, this, [this] { baudTyped_ = false; });

  BitBtn1 = new QPushButton(QStringLiteral("保存"), this);
  BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
  BitBtn1->setGeometry(40, 207, 75, 25);
  BitBtn2 = new QPushButton(QStringLiteral("关闭"), this);
  BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
  BitBtn2->setGeometry(136, 207, 75, 25);

  // The lab database's settings are reached from here too.
  auto* lab = new QPushButton(QStringLiteral("实验室数据库设置…"), this);
  lab->setObjectName(QStringLiteral("BtnLab"));
  lab->setGeometry(40, 234, 171, 22);
  lab->setAutoDefault(false);
  connect(lab, &QPushButton::clicked, this, [this] { ShowLabSettings(shared_.ExeDir, notifier_, this, labReconcile_); });
  auto* alerts = new QPushButton(QStringLiteral("告警推送设置…"), this);
  alerts->setObjectName(QStringLiteral("BtnAlerts"));
  alerts->setGeometry(40, 260, 171, 22);
  alerts->setAutoDefault(false);
  connect(alerts, &QPushButton::clicked, this, [this] { ShowAlertSettings(shared_.ExeDir, notifier_, this); });

  connect(CBox_WorkArea, &QComboBox::currentIndexChanged, this, &TfrmSetComm::CBox_WorkAreaChange);
  connect(BitBtn1, &QPushButton::clicked, this, &TfrmSetComm::BitBtn1Click);
  connect(BitBtn2, &QPushButton::clicked, this, &TfrmSetComm::BitBtn2Click);
}

int TfrmSetComm::ChosenStation() const { return CBox_WorkArea->currentIndex() == 1 ? 2 : 1; }

void TfrmSetComm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (shown_) return;
  shown_ = true;
  FormShow();
}

void TfrmSetComm::FormShow() {
  ListSerialPorts();
  LoadStationComm();
}

void TfrmSetComm::ListSerialPorts() {
  const QString text = CombComm->currentText();
  CombComm->clear();
  CombComm->addItems(listPorts_ ? listPorts_() : QStringList());
  CombComm->setEditText(text);
}

void TfrmSetComm::LoadStationComm() {
  const StationConfig& c = shared_.Station(ChosenStation())->Config;
  CombComm->setEditText(c.PortName);
  Edt_DataNum->setText(QString::number(c.DataBits));
  Edt_StopNum->setCurrentIndex(c.StopBitsIndex >= 0 && c.StopBitsIndex < Edt_StopNum->count() ? c.StopBitsIndex : -1);
  CBx_Mark->setCurrentIndex(c.ParityIndex >= 0 && c.ParityIndex < CBx_Mark->count() ? c.ParityIndex : -1);
  const int baud = CombBaud->findText(QString::number(c.BaudRate), Qt::MatchExactly);
  CombBaud->setCurrentIndex(baud);
  if (baud < 0) CombBaud->setEditText(QString());
  baudTyped_ = false;
}

void TfrmSetComm::CBox_WorkAreaChange() { LoadStationComm(); }

QString TfrmSetComm::ChosenBaudText() const {
  return baudTyped_ || CombBaud->currentIndex() < 0 ? QString() : CombBaud->itemText(CombBaud->currentIndex());
}

void TfrmSetComm::BitBtn1Click() {
  const int station = ChosenStation();
  StationConfig next = shared_.Station(station)->Config;
  next.PortName = CombComm->currentText();
  // Every value is checked before any is taken: a refused save changes
  // nothing, so the ports reopened after the dialog keep what they had.
  const std::optional<int> dataBits = ParseIniInteger(Edt_DataNum->text());
  if (!dataBits) return notifier_.Error(InvalidIntegerMessage(Edt_DataNum->text()));
  next.DataBits = *dataBits;
  next.StopBitsIndex = Edt_StopNum->currentIndex();
  next.ParityIndex = CBx_Mark->currentIndex();
  const QString baudText = ChosenBaudText();
  const std::optional<int> baud = ParseIniInteger(baudText);
  if (!baud) return notifier_.Error(InvalidIntegerMessage(baudText));
  next.BaudRate = *baud;

  shared_.Station(station)->Config = next;
  try {
    SaveStationComm(shared_, station);
  } catch (const EIniWriteError& e) {
    return notifier_.Error(e.Message());
  }
  notifier_.Notice(QStringLiteral("保存成功！"));
}

void TfrmSetComm::BitBtn2Click() { close(); }

void ShowSetComm(GlobVar& shared, INotifier& notifier, QWidget* owner, std::function<bool()> labReconcile) {
  TfrmSetComm dialog(shared, notifier, owner);
  dialog.SetLabReconcile(std::move(labReconcile));
  dialog.exec();
}

}  // namespace rig
