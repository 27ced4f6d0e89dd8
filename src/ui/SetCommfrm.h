#pragma once
// The communication settings dialog: one station's serial port and line
// settings at a time, saved into that station's StationConfig and Config.ini.
// The ports take them when the main window reopens the links afterwards.
#include <QDialog>
#include <QStringList>
#include <functional>

class QComboBox;
class QLineEdit;
class QPushButton;

namespace rig {

class GlobVar;
class INotifier;

// Names of the serial ports present, as the platform enumerates them
// ("ttyUSB0", "COM3").
QStringList PresentSerialPorts();
using PortLister = std::function<QStringList()>;

// The conversion error's text, as the platform's integer conversion words it.
QString InvalidIntegerMessage(const QString& text);

class TfrmSetComm : public QDialog {
  Q_OBJECT
 public:
  TfrmSetComm(GlobVar& shared, INotifier& notifier, QWidget* parent = nullptr,
              PortLister listPorts = PresentSerialPorts);

  // Station shown: 1 for "工位1", 2 for "工位2".
  int ChosenStation() const;

  void FormShow();
  void ListSerialPorts();
  void LoadStationComm();
  void CBox_WorkAreaChange();
  void BitBtn1Click();
  void BitBtn2Click();
  // What the lab settings' "上传以前的测试" does (the lab service's); none: the button is off.
  void SetLabReconcile(std::function<bool()> reconcile) { labReconcile_ = std::move(reconcile); }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  // Text of the chosen baud entry; empty when none is chosen or a rate was typed.
  QString ChosenBaudText() const;

  GlobVar& shared_;
  INotifier& notifier_;
  PortLister listPorts_;
  bool shown_ = false;
  bool baudTyped_ = false;
  std::function<bool()> labReconcile_;

  QComboBox* CBox_WorkArea;
  QComboBox* CombComm;
  QLineEdit* Edt_DataNum;
  QComboBox* Edt_StopNum;
  QComboBox* CBx_Mark;
  QComboBox* CombBaud;
  QPushButton* BitBtn1;
  QPushButton* BitBtn2;
};

// Creates the dialog, shows it modally over `owner` and destroys it.
// `labReconcile`: what the lab settings' "上传以前的测试" does.
void ShowSetComm(GlobVar& shared, INotifier& notifier, QWidget* owner, std::function<bool()> labReconcile = {});

}  // namespace rig
