#include "ui/AlertSettingsfrm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "core/IniFile.h"
#include "core/Notifier.h"
#include "lab/AlertPost.h"
#include "lab/LabSettings.h"
#include "lab/RigEventText.h"
#include "ui/DesignFont.h"
#include "ui/OffWindowThread.h"

namespace rig {
namespace {

constexpr lab::AlertKind kKinds[] = {lab::AlertKind::WeCom, lab::AlertKind::DingTalk, lab::AlertKind::Feishu,
                                     lab::AlertKind::Json};
constexpr RigEventKind kEvents[] = {RigEventKind::Refusal,  RigEventKind::Silent, RigEventKind::LineLost,
                                    RigEventKind::Finished, RigEventKind::Saved,  RigEventKind::SaveFailed};

}  // namespace

TfrmAlertSettings::TfrmAlertSettings(const QString& exeDir, INotifier& notifier, QWidget* parent)
    : QDialog(parent), exeDir_(exeDir), notifier_(notifier), loaded_(lab::LoadAlertSettings(exeDir)) {
  setObjectName(QStringLiteral("frmAlertSettings"));
  setWindowTitle(QStringLiteral("告警推送设置"));
  setFont(DesignFont());
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);

  url_ = new QLineEdit(loaded_.Url, this);
  url_->setObjectName(QStringLiteral("EdtUrl"));
  url_->setPlaceholderText(QStringLiteral("空：不推送告警"));
  kind_ = new QComboBox(this);
  kind_->setObjectName(QStringLiteral("CBoxKind"));
  kind_->addItems({QStringLiteral("企业微信群机器人"), QStringLiteral("钉钉群机器人"), QStringLiteral("飞书群机器人"),
                   QStringLiteral("通用 JSON")});
  for (int i = 0; i < 4; ++i)
    if (kKinds[i] == loaded_.Kind) kind_->setCurrentIndex(i);
  secret_ = new QLineEdit(loaded_.Secret, this);
  secret_->setObjectName(QStringLiteral("EdtSecret"));
  secret_->setPlaceholderText(QStringLiteral("钉钉、飞书的加签密钥；空：不加签"));
  auto* chosen = new QWidget(this);
  auto* grid = new QGridLayout(chosen);
  grid->setContentsMargins(0, 0, 0, 0);
  int n = 0;
  for (RigEventKind k : kEvents) {
    auto* box = new QCheckBox(lab::KindWords(k), chosen);
    box->setObjectName(QStringLiteral("Chk_") + lab::KindName(k));
    box->setChecked(loaded_.Events.count(k) > 0);
    grid->addWidget(box, n / 3, n % 3);
    events_[k] = box;
    ++n;
  }

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("网址："), url_);
  form->addRow(QStringLiteral("类型："), kind_);
  form->addRow(QStringLiteral("密钥："), secret_);
  form->addRow(QStringLiteral("推送事件："), chosen);

  answer_ = new QLabel(this);
  answer_->setObjectName(QStringLiteral("LblAnswer"));
  answer_->setWordWrap(true);
  auto* test = new QPushButton(QStringLiteral("发送测试消息"), this);
  test->setObjectName(QStringLiteral("BtnTest"));
  auto* save = new QPushButton(QStringLiteral("保存"), this);
  save->setObjectName(QStringLiteral("BtnSave"));
  auto* close = new QPushButton(QStringLiteral("关闭"), this);
  close->setObjectName(QStringLiteral("BtnClose"));
  for (QPushButton* b : {test, save, close}) b->setAutoDefault(false);
  connect(test, &QPushButton::clicked, this, &TfrmAlertSettings::TestClick);
  connect(save, &QPushButton::clicked, this, &TfrmAlertSettings::SaveClick);
  connect(close, &QPushButton::clicked, this, &QDialog::reject);
  connect(this, &TfrmAlertSettings::TestAnswered, answer_, &QLabel::setText);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(test);
  buttons->addStretch();
  buttons->addWidget(save);
  buttons->addWidget(close);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(answer_);
  layout->addLayout(buttons);
  resize(480, sizeHint().height());
}

lab::AlertSettings TfrmAlertSettings::Entered() const {
  lab::AlertSettings s = loaded_;  // PerMinute is kept as the file has it
  s.Url = url_->text().trimmed();
  s.Kind = kKinds[std::max(0, kind_->currentIndex())];
  s.Secret = secret_->text().trimmed();
  s.Events.clear();
  for (const auto& [kind, box] : events_)
    if (box->isChecked()) s.Events.insert(kind);
  return s;
}

void TfrmAlertSettings::TestClick() {
  const lab::AlertSettings s = Entered();
  const QString rig = lab::LoadLabSettings(exeDir_).RigName;
  answer_->setText(QStringLiteral("正在发送……"));
  const int press = ++testPress_;
  RunOffWindowThread<QString>(
      this, [s, rig] { return lab::SendTestAlert(s, rig); },
      [this, press](QString words) {
        if (press == testPress_) emit TestAnswered(words);
      });
}

void TfrmAlertSettings::SaveClick() {
  try {
    lab::SaveAlertSettings(exeDir_, Entered());
  } catch (const EIniWriteError& e) {
    notifier_.Error(e.Message());
    return;
  }
  accept();
}

bool ShowAlertSettings(const QString& exeDir, INotifier& notifier, QWidget* owner) {
  TfrmAlertSettings dialog(exeDir, notifier, owner);
  return dialog.exec() == QDialog::Accepted;
}

}  // namespace rig
