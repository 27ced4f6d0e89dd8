#include "storage/TestSummary.h"

namespace rig {

std::array<int, 5> SavedParameterNumbers(int mode) {
  switch (mode) {
    case 1: return {1, 0, 0, 0, 0};
    case 2: return {2, 0, 0, 0, 0};
    case 3: return {3, 0, 0, 0, 0};
    case 4: return {4, 0, 0, 0, 0};
    case 5: return {5, 6, 0, 0, 0};
    case 17: return {7, 8, 9, 0, 0};
    case 18: return {10, 11, 12, 0, 0};
    case 19: return {13, 14, 15, 0, 0};
    case 20: return {16, 17, 18, 19, 20};
    default: return {0, 0, 0, 0, 0};
  }
}

}  // namespace rig
