#pragma once
// The programme's record in words, block by block, for its window: count,
// cycle times and their drift against block 1, the voltage confirmed, the
// inspection after it with each measurement judged.
#include <QString>

#include "endurance/Programme.h"

namespace rig {

QString ProgrammeRecordText(const Programme& p);

// "合闸时间 41.5 ms（30–50）合格": a measurement with its limits, judged.
QString MeasurementText(const Measurement& m);
// What was done at an inspection: "未做处理", "润滑", "其他：WORK".
QString InspectionWorkText(const Inspection& i);
// Block `block`'s mean cycle against block 1's, "+3.2%"; empty when either
// has no measured cycle (and for block 1 itself).
QString DriftText(const Programme& p, int block);
// The runs of block `block`.
int RunsOf(const Programme& p, int block);
// "41.5" for a measured or limit value: as typed, without trailing zeros.
QString MeasureText(double v);

}  // namespace rig
