#pragma once
// One station's endurance programme: made from a preset and edited (the
// switch, the standard and class, the blocks), then run a block at a time
// with the control voltage confirmed before each block and the inspection
// recorded after it. Modeless, so the station stays in view; every button is
// one call into the station's TProgrammeRunner.
#include <QDialog>
#include <functional>

#include "endurance/Programme.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QTableWidget;

namespace rig {

class INotifier;
class TProgrammeRunner;

class TfrmProgramme : public QDialog {
  Q_OBJECT
 public:
  TfrmProgramme(TProgrammeRunner& runner, INotifier& notifier, QWidget* parent = nullptr);

  // The programme as the form holds it.
  Programme Entered() const;
  void Show(const Programme& p);

  void PresetClick();         // 按预设生成各段
  void AddBlockClick();       // 加一段
  void RemoveBlockClick();    // 删去末段
  void TakeOnClick();         // 确定方案
  void ConfirmVoltageClick(); // 确认控制电压…
  void StartBlockClick();     // 开始下一段
  void InspectClick();        // 记录检查…
  void EndClick();            // 结束方案
  void ReportClick();         // 导出报告…
  void ExcelClick();          // 导出Excel…
  void CsvClick();            // 导出CSV…
  void Refresh();             // the status line and which buttons work

 private:
  void FillClasses();
  void AddBlockRow(const ProgrammeBlock& b);
  void Say(const QString& why);
  // Asks where to write the programme's `what` (proposed "NUMBER_what.suffix")
  // and writes it with `write`; a fault is told, naming the file.
  void Export(const QString& caption, const QString& what, const QString& suffix, const QString& filter,
              const std::function<void(const Programme&, const QString& number, const QString& path)>& write);

  TProgrammeRunner& runner_;
  INotifier& notifier_;
  QLineEdit* identity_[6] = {};  // model, factory number, station text, operator, manufacturer, customer
  QPlainTextEdit* remarks_ = nullptr;
  QComboBox* standard_ = nullptr;
  QComboBox* class_ = nullptr;
  QLineEdit* customName_ = nullptr;
  QSpinBox* customTarget_ = nullptr;
  QComboBox* presetMode_ = nullptr;
  QTableWidget* blocks_ = nullptr;
  QLabel* status_ = nullptr;
  QPlainTextEdit* record_ = nullptr;  // block by block: counts, cycle times, inspections
  QPushButton* takeOn_ = nullptr;
  QPushButton* confirm_ = nullptr;
  QPushButton* start_ = nullptr;
  QPushButton* inspect_ = nullptr;
  QPushButton* end_ = nullptr;
  QPushButton* report_ = nullptr;
  QPushButton* excel_ = nullptr;
  QPushButton* csv_ = nullptr;
};

// The inspection after block `block`, asked of the operator; nothing when
// cancelled. Its measurements may be read from an analyser's CSV file, the
// columns mapped as Config.ini under `exeDir` keeps them.
std::optional<Inspection> AskInspection(int block, const QString& exeDir, INotifier& notifier, QWidget* parent);

}  // namespace rig
