#include "ui/StationPanelLayout.h"

#include <algorithm>
#include <array>

namespace rig {
namespace {

const StationPanelDesign kStations[2] = {
    {1, u"工位1", 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, false,  //
     505, 617, QRect(6, 520, 623, 217), {80, 228, 376}, 134, 165, {19, 117, 216}, u"单分　： "},
    {2, u"工位2", 3, 4, 24, 16, 40, 3, 3, 4, 2, 2, false,  //
     503, 609, QRect(2, 519, 615, 216), {80, 227, 376}, 133, 167, {28, 126, 228}, u"单分　："},
};

constexpr std::array<IdentityCell, 4> kIdentity{{
    {10, u"开关型号", 65},
    {146, u"出厂编号", 201},
    {282, u"工位", 313},
    {386, u"操作员", 433},
}};

// Station 2 takes its own "单分" caption from its design.
constexpr std::array<ModeRadioDesign, 9> kRadios{{
    {1, 24, 16, 73, u"单合　："},
    {2, 24, 48, 73, nullptr},
    {3, 23, 77, 73, u"合分　："},
    {4, 23, 108, 73, u"分合　："},
    {5, 23, 143, 73, u"分合分："},
    {17, 23, 211, 82, u"单分单合："},
    {18, 23, 236, 82, u"合分　　："},
    {19, 23, 265, 82, u"分合　　："},
    {20, 23, 290, 82, u"分合分　："},
}};

constexpr ParameterAreaItem kItems[] = {
    {16, 103, u"持续", 0, 0},   {16, 151, nullptr, 1, 121},  {16, 279, u"ms", 0, 0},
    {48, 103, u"持续", 0, 0},   {48, 151, nullptr, 2, 121},  {48, 279, u"ms", 0, 0},
    {77, 103, u"合延时", 0, 0}, {77, 151, nullptr, 3, 121},  {77, 279, u"ms分", 0, 0},
    {108, 103, u"分延时", 0, 0}, {108, 151, nullptr, 4, 121}, {108, 279, u"ms合", 0, 0},
    {143, 103, u"分延时", 0, 0}, {143, 151, nullptr, 5, 98},  {143, 255, u"ms", 0, 0},
    {143, 280, u"合延时", 0, 0}, {143, 327, nullptr, 6, 98},  {143, 431, u"ms分", 0, 0},
    {211, 107, u"分延时", 0, 0}, {211, 151, nullptr, 7, 49},  {211, 204, u"s", 0, 0},
    {211, 229, u"合延时", 0, 0}, {211, 276, nullptr, 8, 49},  {211, 330, u"s", 0, 0},
    {211, 345, nullptr, 9, 49},  {211, 398, u"次", 0, 0},
    {236, 107, u"合延时", 0, 0}, {236, 151, nullptr, 10, 49}, {236, 204, u"ms", 0, 0},
    {236, 229, u"分延时", 0, 0}, {236, 276, nullptr, 11, 49}, {236, 330, u"s", 0, 0},
    {236, 345, nullptr, 12, 49}, {236, 398, u"次", 0, 0},
    {265, 107, u"分延时", 0, 0}, {265, 151, nullptr, 13, 49}, {265, 204, u"ms", 0, 0},
    {265, 229, u"合延时", 0, 0}, {265, 276, nullptr, 14, 49}, {265, 330, u"s", 0, 0},
    {265, 345, nullptr, 15, 49}, {265, 398, u"次", 0, 0},
    {290, 107, u"分延时", 0, 0}, {290, 151, nullptr, 16, 49}, {290, 204, u"ms", 0, 0},
    {290, 229, u"合延时", 0, 0}, {290, 276, nullptr, 17, 49}, {290, 330, u"ms", 0, 0},
    {315, 107, u"分延时", 0, 0}, {315, 151, nullptr, 18, 49}, {315, 204, u"s", 0, 0},
    {315, 229, u"合延时", 0, 0}, {315, 276, nullptr, 19, 49}, {315, 330, u"s", 0, 0},
    {315, 345, nullptr, 20, 49}, {315, 398, u"次", 0, 0},
};

}  // namespace

const StationPanelDesign& StationDesign(int station) { return kStations[station == 2 ? 1 : 0]; }

QString ComponentName(const char* kind, int number, int offset) {
  return QLatin1String(kind) + QString::number(number + offset);
}

std::span<const IdentityCell, 4> IdentityRow() { return kIdentity; }
std::span<const ModeRadioDesign, 9> ModeRadios() { return kRadios; }
std::span<const ParameterAreaItem> ParameterAreaItems() { return kItems; }

int DoneCountLeft(int textWidth) { return std::min(kDoneCountLeft, kCountSlashLeft - 1 - textWidth); }

}  // namespace rig
