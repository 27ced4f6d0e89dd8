#include "testing/TestModes.h"

#include <array>

namespace rig {
namespace {

constexpr std::array<TestModeInfo, 9> kModes{{
    {kSingleClose, u"单合", false, 0},
    {kSingleOpen, u"单分", false, 0},
    {kCloseOpen, u"合分", false, 0},
    {kOpenClose, u"分合", false, 0},
    {kOpenCloseOpen, u"分合分", false, 0},
    {kLifeOpenThenClose, u"单分单合", true, 9},
    {kLifeCloseOpen, u"合分", true, 12},
    {kLifeOpenClose, u"分合", true, 15},
    {kLifeOpenCloseOpen, u"分合分", true, 20},
}};

}  // namespace

std::span<const TestModeInfo> TestModes() { return kModes; }

const TestModeInfo* FindTestMode(int code) {
  for (const TestModeInfo& m : kModes)
    if (m.Code == code) return &m;
  return nullptr;
}

bool IsLifeMode(int code) {
  const TestModeInfo* m = FindTestMode(code);
  return m && m->Life;
}

QString ModePrompt(int code) {
  const TestModeInfo* m = FindTestMode(code);
  if (!m) return QString();
  const QString kind = m->Life ? QStringLiteral("寿命试验") : QStringLiteral("操作实验");
  return QStringLiteral("操作提示：当前是") + kind + QStringLiteral("（") + QString::fromUtf16(m->Word) +
         QStringLiteral("）");
}

QString InitialPromptText() { return QStringLiteral("操作提示：当前是寿命试验（单分单合），"); }

}  // namespace rig
