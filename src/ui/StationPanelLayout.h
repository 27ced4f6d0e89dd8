#pragma once
// The station panel as designed: one description of station 1's panel, and
// the few names and offsets by which station 2's differs. Both panels are
// built from it by the same code.
#include <QRect>
#include <QString>
#include <span>

namespace rig {

struct StationPanelDesign {
  int Station;
  const char16_t* Title;  // "工位1"
  // Station 2's components carry station 1's numbers shifted by these.
  int GroupBoxOffset;      // GroupBox1..3 -> GroupBox4..6
  int PanelOffset;         // Panel5, Panel7 -> Panel9, Panel11
  int IdentityEditOffset;  // Edit1..4 -> Edit25..28 (parameter edits: see TestParameters)
  int RadioOffset;         // RadioButton1..11 -> RadioButton17..27
  int LabelOffset;         // Label32..40 -> Label72..80
  int MarkLabelOffset;     // Label99..101 -> Label102..104
  int ShapeOffset;         // Shape1..3 -> Shape4..6
  int ButtonOffset;        // SpeedButton3, 4, 6 -> SpeedButton7, 8, 10
  int LinkButton;          // SpeedButton1 / SpeedButton2 in the tool bar
  int Timer;               // Timer1 / Timer2
  // Whether the identity edits take digits only. Neither station's do: a
  // switch model like "ZW32-12" must be typed on both.
  bool IdentityDigitsOnly;
  // Geometry where station 2 was drawn a little differently.
  int ParameterBoxHeight;  // "磨合参数"
  int ParameterAreaWidth;  // the parameter-area and refusal-option panels
  QRect BreakBox;
  int MarkLefts[3];        // refusal-mark labels of A1, B1, C1
  int PromptTop;
  int ButtonTop;
  int ButtonLefts[3];      // 开始测试, 继续测试, 保存
  const char16_t* SingleOpenCaption;  // station 1's has a trailing blank
};

// Station 1 or 2.
const StationPanelDesign& StationDesign(int station);

// "Edit" and 5 with offset 24 -> "Edit29".
QString ComponentName(const char* kind, int number, int offset = 0);

// The identity row: a label, then its edit (70 x 21 at top 21).
struct IdentityCell {
  int LabelLeft;
  const char16_t* Label;
  int EditLeft;
};
std::span<const IdentityCell, 4> IdentityRow();

// The mode radios of the parameter area, one per row start, in code order.
// Their component number is the position in this list (RadioButton1..9).
struct ModeRadioDesign {
  int Mode;
  int Left;
  int Top;
  int Width;
  const char16_t* Caption;
};
std::span<const ModeRadioDesign, 9> ModeRadios();

// The labels and edits of the parameter area, left to right in each row.
// An item with Parameter 0 is a label; otherwise the edit of that parameter.
struct ParameterAreaItem {
  int Top;
  int Left;
  const char16_t* Label;
  int Parameter;
  int Width;
};
std::span<const ParameterAreaItem> ParameterAreaItems();

// The count line under the prompt: done count at 264, "/" at 291, set count
// at 304, "次" at 347.
constexpr int kDoneCountLeft = 264;
constexpr int kCountSlashLeft = 291;
constexpr int kSetCountLeft = 304;
constexpr int kCountTimesLeft = 347;

// Left edge of the done-count label for a text `textWidth` pixels wide: at
// its design place while it fits before "/", else right-aligned one pixel
// before "/", so "12345" grows to the left into the blank after the prompt
// instead of running into "/".
int DoneCountLeft(int textWidth);

}  // namespace rig
