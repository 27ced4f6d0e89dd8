#pragma once
// Opening a lab test: the test is fetched from the server into a folder laid
// out like a rig's own (SaveData.db with its one summary row, and its detail
// file), so the detail window shows it exactly as it shows a local test.
#include <QString>

#include "lab/LabSettings.h"

namespace rig::lab {

class LabConnection;

// Writes the test `testId` under `folder` (ending with a separator) and
// returns the AutoID to open there. Throws LabError when the server does not
// have it or cannot be asked, ESQLiteException when the files cannot be
// written.
QString FetchLabTest(LabConnection& connection, const QString& testId, const QString& folder);
QString FetchLabTest(const LabSettings& settings, const QString& testId, const QString& folder);

}  // namespace rig::lab
