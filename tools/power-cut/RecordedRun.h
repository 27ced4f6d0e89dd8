#pragma once
#include <QString>

namespace powercut {

// The run whose file operations are recorded, in the installation folder
// `root` (ending with a separator): two stations journalling at once, the
// installation's first save, a second save while the next test runs, and a
// test left unsaved. Tells the recorder (powercut_mark) each time the
// program has been told actions are synced or a test is saved. Returns the
// process exit code.
int RecordRun(const QString& root, unsigned seed);

}  // namespace powercut
