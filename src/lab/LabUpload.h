#pragma once
// Sending one test to the lab database: the summary row, then its actions
// with COPY, in one transaction keyed by the test id.
#include <functional>

#include "lab/LabRecord.h"

namespace rig::lab {

class LabConnection;

// Points inside an upload where a test may stop the server or the program.
enum class UploadStage { SummaryInserted, ActionsHalfSent };
using UploadHook = std::function<void(UploadStage)>;

// Returns true when this call stored the test, false when the server had it
// committed already (a repeated upload changes nothing). Returns only after
// the server has committed. Throws LabError; the server then rolls the
// transaction back and the test is stored by a later call.
bool UploadTest(LabConnection& connection, const LabTestRecord& record, const UploadHook& hook = {});

}  // namespace rig::lab
