#pragma once
// The nine test modes: five operation tests and four life tests. The code is
// what the radio buttons carry as their tag, what travels on the wire and
// what the record store keeps.
#include <QString>
#include <span>

namespace rig {

enum TestModeCode : int {
  kSingleClose = 1,
  kSingleOpen = 2,
  kCloseOpen = 3,
  kOpenClose = 4,
  kOpenCloseOpen = 5,
  kLifeOpenThenClose = 17,
  kLifeCloseOpen = 18,
  kLifeOpenClose = 19,
  kLifeOpenCloseOpen = 20,
};

// Selected on both stations when the program starts.
constexpr int kStartupMode = kSingleOpen;
// A start command built while no mode radio is selected carries this mode.
constexpr int kModeWhenNoneSelected = kLifeOpenThenClose;

// Refusal option as sent to the controller.
constexpr int kIgnoreRefusals = 5;    // "忽略拒动作"
constexpr int kDoNotIgnoreRefusals = 10;  // "不忽略拒动作"

struct TestModeInfo {
  int Code;
  const char16_t* Word;   // 单合, 单分, ... as the prompt names the mode
  bool Life;
  int SetCountParameter;  // life tests: number of the set-count parameter; 0 otherwise
};

// In code order: 1, 2, 3, 4, 5, 17, 18, 19, 20.
std::span<const TestModeInfo> TestModes();

// nullptr for codes that are not modes.
const TestModeInfo* FindTestMode(int code);
bool IsLifeMode(int code);

// "操作提示：当前是操作实验（单合）" and so on; empty for a code that is not a mode.
QString ModePrompt(int code);

// The prompt label's caption before the first prompt update.
QString InitialPromptText();

}  // namespace rig
