#include "ui/StationPanel.h"

#include <QButtonGroup>
#include <QFrame>
#include <QLabel>
#include <QRadioButton>
#include <QResizeEvent>
#include <QToolButton>

#include "testing/TestModes.h"
#include "ui/DesignFont.h"
#include "ui/Edit.h"
#include "ui/RunWatchPanel.h"
#include "ui/Shape.h"

namespace rig {
namespace {

constexpr int kEditHeight = 21;

QLabel* NewLabel(QWidget* parent, const QString& text, int left, int top, const QString& name = QString()) {
  auto* label = new QLabel(text, parent);
  if (!name.isEmpty()) label->setObjectName(name);
  label->adjustSize();
  label->move(left, top);
  return label;
}

// Labels and radios beside a 21-pixel edit are centred on it.
int CentredTop(int rowTop, int height) { return rowTop + (kEditHeight - height) / 2; }

QFrame* NewLoweredPanel(QWidget* parent, const QRect& geometry, const QString& name = QString()) {
  auto* panel = new QFrame(parent);
  if (!name.isEmpty()) panel->setObjectName(name);
  panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  panel->setGeometry(geometry);
  return panel;
}

void SetTextColor(QWidget* w, const QColor& color) {
  QPalette p = w->palette();
  p.setColor(QPalette::WindowText, color);
  w->setPalette(p);
}

}  // namespace

QColor BreakColor(int breakIndex) {
  switch (breakIndex) {
    case kBreakA1: return QColor(255, 255, 0);
    case kBreakB1: return QColor(0, 128, 0);
    default: return QColor(255, 0, 0);
  }
}

QToolButton* NewSpeedButton(const QString& name, const QString& caption, QWidget* parent) {
  auto* b = new QToolButton(parent);
  b->setObjectName(name);
  b->setText(caption);
  b->setAutoRaise(true);
  b->setToolButtonStyle(Qt::ToolButtonTextOnly);
  b->resize(81, 22);
  return b;
}

TStationPanel::TStationPanel(const StationPanelDesign& design, QWidget* parent)
    : TCaptionedBox(QString::fromUtf16(design.Title), parent), design_(design) {
  setObjectName(ComponentName("GroupBox", 1, design_.GroupBoxOffset));
  // Set before any child exists: the labels size themselves in it.
  setFont(DesignFont());
  BuildParameterBox();
  BuildBreakArea();
  // In the blank below the break-state area, as wide as it.
  runWatch_ = new TRunWatchPanel(design_.Station, this);
  const QRect& breaks = design_.BreakBox;
  runWatch_->setGeometry(breaks.left(), breaks.bottom() + 4, breaks.width(), TRunWatchPanel::kHeight);
}

void TStationPanel::SetProgrammeLine(const QString& text) {
  if (programmeLine_->text() != text) {
    programmeLine_->setText(text);
    programmeLine_->setToolTip(text);  // a long line (a warning on it) is whole here
  }
  programmeLine_->setVisible(!text.isEmpty());
}

void TStationPanel::BuildParameterBox() {
  // Aligned to the top of the station box, below its caption.
  parameterBox_ = new TCaptionedBox(QStringLiteral("磨合参数"), this);
  parameterBox_->setObjectName(ComponentName("GroupBox", 2, design_.GroupBoxOffset));
  parameterBox_->setGeometry(2, 15, 636, design_.ParameterBoxHeight);

  const auto cells = IdentityRow();
  for (int f = 0; f < kIdentityFieldCount; ++f) {
    auto* edit = new TEdit(parameterBox_);
    edit->setObjectName(ComponentName("Edit", f + 1, design_.IdentityEditOffset));
    edit->SetGbkOnly(true);  // saved as GBK: what it cannot hold is refused as typed
    edit->setGeometry(cells[f].EditLeft, 21, 70, kEditHeight);
    QLabel* label = NewLabel(parameterBox_, QString::fromUtf16(cells[f].Label), cells[f].LabelLeft, 0);
    label->move(cells[f].LabelLeft, CentredTop(21, label->height()));
    identity_[f] = edit;
  }

  QFrame* area = NewLoweredPanel(parameterBox_, QRect(8, 49, design_.ParameterAreaWidth, 352),
                                 ComponentName("Panel", 5, design_.PanelOffset));
  BuildParameterArea(area);

  QFrame* refusal = NewLoweredPanel(parameterBox_, QRect(8, 412, design_.ParameterAreaWidth, 74),
                                    ComponentName("Panel", 7, design_.PanelOffset));
  BuildRefusalOption(refusal);
}

void TStationPanel::BuildParameterArea(QWidget* area) {
  // Two etched frames behind the rows: operation tests above, life tests below.
  for (const QRect& r : {QRect(5, 8, 605, 177), QRect(5, 194, 605, 151)}) {
    auto* frame = new QFrame(area);
    frame->setFrameStyle(QFrame::Box | QFrame::Sunken);
    frame->setGeometry(r);
  }

  auto* group = new QButtonGroup(this);
  const auto radios = ModeRadios();
  for (size_t i = 0; i < radios.size(); ++i) {
    const ModeRadioDesign& d = radios[i];
    const QString caption =
        QString::fromUtf16(d.Caption ? d.Caption : design_.SingleOpenCaption);
    auto* radio = new QRadioButton(caption, area);
    radio->setObjectName(ComponentName("RadioButton", int(i) + 1, design_.RadioOffset));
    radio->setProperty("Tag", d.Mode);
    const int h = radio->sizeHint().height();
    radio->setGeometry(d.Left, CentredTop(d.Top, h), d.Width, h);
    group->addButton(radio, d.Mode);
    modeRadios_[d.Mode] = radio;
    connect(radio, &QRadioButton::clicked, this, [this, tag = d.Mode] { emit modeClicked(tag); });
  }
  modeRadios_[kStartupMode]->setChecked(true);

  for (const ParameterAreaItem& item : ParameterAreaItems()) {
    if (item.Parameter == 0) {
      QLabel* label = NewLabel(area, QString::fromUtf16(item.Label), item.Left, 0);
      label->move(item.Left, CentredTop(item.Top, label->height()));
      continue;
    }
    const ParameterDef& def = *FindParameter(item.Parameter);
    auto* edit = new TEdit(QString::fromLatin1(def.Initial), area);
    edit->setObjectName(ComponentName("Edit", def.EditNumber[design_.Station - 1]));
    edit->setGeometry(item.Left, item.Top, item.Width, kEditHeight);
    edit->setProperty("Hint", RangeHint(def.Range));
    if (def.ShowsHint) edit->setToolTip(RangeHint(def.Range));
    connect(edit, &TEdit::exited, this, [this, n = def.Number] { emit parameterExited(n); });
    parameters_[def.Number - 1] = edit;
  }
}

void TStationPanel::BuildRefusalOption(QWidget* box) {
  ignoreRefusals_ = new QRadioButton(QStringLiteral("忽略拒动作"), box);
  ignoreRefusals_->setObjectName(ComponentName("RadioButton", 10, design_.RadioOffset));
  heedRefusals_ = new QRadioButton(QStringLiteral("不忽略拒动作"), box);
  heedRefusals_->setObjectName(ComponentName("RadioButton", 11, design_.RadioOffset));
  const int h = ignoreRefusals_->sizeHint().height();
  ignoreRefusals_->setGeometry(24, 16, 129, h);
  heedRefusals_->setGeometry(24, 40, 129, h);
  auto* group = new QButtonGroup(this);
  group->addButton(ignoreRefusals_);
  group->addButton(heedRefusals_);
  ignoreRefusals_->setChecked(true);
}

void TStationPanel::BuildBreakArea() {
  auto* box = new TCaptionedBox(this);
  box->setObjectName(ComponentName("GroupBox", 3, design_.GroupBoxOffset));
  box->setGeometry(design_.BreakBox);

  NewLabel(box, QStringLiteral("断口状态（○指示分       ● 指示合）"), 16, 16,
           ComponentName("Label", 32, design_.LabelOffset));

  static constexpr struct {
    const char16_t* caption;
    int captionLeft;
    QPoint circle;
    int markTop;
  } kBreaks[kBreakCount] = {
      {u"A1", 56, QPoint(46, 64), 72},
      {u"B1", 204, QPoint(193, 63), 71},
      {u"C1", 352, QPoint(342, 61), 68},
  };
  for (int b = 0; b < kBreakCount; ++b) {
    QLabel* caption = NewLabel(box, QString::fromUtf16(kBreaks[b].caption), kBreaks[b].captionLeft, 45,
                               ComponentName("Label", 33 + b, design_.LabelOffset));
    SetTextColor(caption, BreakColor(b));

    auto* shape = new TShape(box);
    shape->setObjectName(ComponentName("Shape", 1 + b, design_.ShapeOffset));
    shape->setGeometry(QRect(kBreaks[b].circle, QSize(30, 30)));
    shape->SetPen(BreakColor(b), 2);
    shapes_[b] = shape;
    SetBreakClosed(b, false);

    marks_[b] = NewLabel(box, QString(), design_.MarkLefts[b], kBreaks[b].markTop,
                         ComponentName("Label", 99 + b, design_.MarkLabelOffset));
  }

  prompt_ = NewLabel(box, InitialPromptText(), 16, design_.PromptTop, ComponentName("Label", 36, design_.LabelOffset));
  static constexpr struct {
    const char16_t* text;
    int left;
    bool underlined;
  } kCount[4] = {{u"XXX", kDoneCountLeft, true},
                 {u"/", kCountSlashLeft, false},
                 {u"20000", kSetCountLeft, true},
                 {u"次", kCountTimesLeft, false}};
  for (int i = 0; i < 4; ++i) {
    auto* label = new QLabel(QString::fromUtf16(kCount[i].text), box);
    label->setObjectName(ComponentName("Label", 37 + i, design_.LabelOffset));
    if (kCount[i].underlined) {
      QFont f = label->font();
      f.setUnderline(true);
      label->setFont(f);
    }
    label->adjustSize();
    label->move(kCount[i].left, design_.PromptTop);
    countLabels_[i] = label;
  }

  start_ = NewSpeedButton(ComponentName("SpeedButton", 3, design_.ButtonOffset), QStringLiteral("开始测试"), box);
  continue_ = NewSpeedButton(ComponentName("SpeedButton", 4, design_.ButtonOffset), QStringLiteral("继续测试"), box);
  save_ = NewSpeedButton(ComponentName("SpeedButton", 6, design_.ButtonOffset), QStringLiteral("保存"), box);
  start_->move(design_.ButtonLefts[0], design_.ButtonTop);
  continue_->move(design_.ButtonLefts[1], design_.ButtonTop);
  save_->move(design_.ButtonLefts[2], design_.ButtonTop);
  // Beside the buttons, where the blank of the break-state area is.
  const int lineLeft = design_.ButtonLefts[2] + save_->width() + 8;
  programmeLine_ = NewLabel(box, QString(), lineLeft, design_.ButtonTop - 12,
                            QStringLiteral("ProgrammeLine%1").arg(design_.Station));
  programmeLine_->setWordWrap(true);
  programmeLine_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  programmeLine_->setFixedSize(design_.BreakBox.width() - lineLeft - 6, 46);
  programmeLine_->hide();
  connect(start_, &QToolButton::clicked, this, &TStationPanel::startClicked);
  connect(continue_, &QToolButton::clicked, this, &TStationPanel::continueClicked);
  connect(save_, &QToolButton::clicked, this, &TStationPanel::saveClicked);
}

void TStationPanel::resizeEvent(QResizeEvent* event) {
  TCaptionedBox::resizeEvent(event);
  // The parameter box spans the station box; nothing inside it moves.
  parameterBox_->resize(width() - 4, design_.ParameterBoxHeight);
}

void TStationPanel::SetDigitsOnlyStyle() {
  for (TEdit* e : parameters_) e->SetNumbersOnly(true);
  for (TEdit* e : identity_) e->SetNumbersOnly(design_.IdentityDigitsOnly);
}

TEdit* TStationPanel::ParameterEdit(int number) const {
  return FindParameter(number) ? parameters_[number - 1] : nullptr;
}

void TStationPanel::SetText(QLabel* label, const QString& text) {
  label->setText(text);
  label->adjustSize();
}

QString TStationPanel::IdentityText(int field) const {
  return field >= 0 && field < kIdentityFieldCount ? identity_[field]->text() : QString();
}

void TStationPanel::SetIdentityText(int field, const QString& text) {
  if (field >= 0 && field < kIdentityFieldCount) identity_[field]->setText(text);
}

QString TStationPanel::ParameterText(int number) const {
  TEdit* e = ParameterEdit(number);
  return e ? e->text() : QString();
}

void TStationPanel::SetParameterText(int number, const QString& text) {
  if (TEdit* e = ParameterEdit(number)) e->setText(text);
}

void TStationPanel::FocusParameter(int number) {
  if (TEdit* e = ParameterEdit(number)) e->setFocus(Qt::OtherFocusReason);
}

bool TStationPanel::IsModeChecked(int mode) const {
  auto it = modeRadios_.find(mode);
  return it != modeRadios_.end() && it->second->isChecked();
}

void TStationPanel::CheckMode(int mode) {
  auto it = modeRadios_.find(mode);
  if (it != modeRadios_.end()) it->second->setChecked(true);
}

bool TStationPanel::IsRefusalOptionChecked(int option) const {
  if (option == kIgnoreRefusals) return ignoreRefusals_->isChecked();
  if (option == kDoNotIgnoreRefusals) return heedRefusals_->isChecked();
  return false;
}

void TStationPanel::CheckRefusalOption(int option) {
  if (option == kIgnoreRefusals) ignoreRefusals_->setChecked(true);
  if (option == kDoNotIgnoreRefusals) heedRefusals_->setChecked(true);
}

void TStationPanel::SetPromptText(const QString& text) { SetText(prompt_, text); }
void TStationPanel::SetPromptVisible(bool visible) { prompt_->setVisible(visible); }

void TStationPanel::SetCountLabelsVisible(bool visible) {
  for (QLabel* l : countLabels_) l->setVisible(visible);
}

void TStationPanel::SetCountDoneText(const QString& text) {
  QLabel* done = countLabels_[0];
  SetText(done, text);
  done->move(DoneCountLeft(done->width()), done->y());
}
void TStationPanel::SetSetCountText(const QString& text) { SetText(countLabels_[2], text); }

void TStationPanel::SetInputControlsEnabled(bool enabled) {
  for (TEdit* e : identity_) e->setEnabled(enabled);
  for (TEdit* e : parameters_) e->setEnabled(enabled);
  for (auto& [mode, radio] : modeRadios_) radio->setEnabled(enabled);
  ignoreRefusals_->setEnabled(enabled);
  heedRefusals_->setEnabled(enabled);
  start_->setEnabled(enabled);
}

void TStationPanel::SetContinueEnabled(bool enabled) { continue_->setEnabled(enabled); }
void TStationPanel::SetSaveEnabled(bool enabled) { save_->setEnabled(enabled); }
void TStationPanel::SetStartCaption(const QString& caption) { start_->setText(caption); }

void TStationPanel::SetLinkCaption(const QString& caption) {
  if (linkButton_) linkButton_->setText(caption);
}

void TStationPanel::SetBreakClosed(int breakIndex, bool closed) {
  if (breakIndex < 0 || breakIndex >= kBreakCount) return;
  shapes_[breakIndex]->SetBrushColor(closed ? BreakColor(breakIndex) : palette().color(QPalette::Button));
}

void TStationPanel::SetRefusalMark(int breakIndex, const QString& text) {
  if (breakIndex >= 0 && breakIndex < kBreakCount) SetText(marks_[breakIndex], text);
}

}  // namespace rig
