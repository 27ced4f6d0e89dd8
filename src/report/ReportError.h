#pragma once
// Why a report or an export could not be made: a text for the operator that
// names the file concerned. Cancelling is not an error and has its own type.
#include <QString>
#include <functional>

namespace rig {

struct ReportError {
  QString Message;
};

struct ReportCancelled {};

// Reports the share of the work done (0 to 1); returns false to cancel.
using ReportProgress = std::function<bool(double done)>;

// Throws ReportCancelled when `progress` asks to stop.
inline void Advance(const ReportProgress& progress, double done) {
  if (progress && !progress(done)) throw ReportCancelled{};
}

}  // namespace rig
