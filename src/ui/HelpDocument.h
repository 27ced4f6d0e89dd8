#pragma once
#include <QString>
#include <functional>

namespace rig {

// Opens a document in the desktop's application for it, not waiting for it.
using DocumentOpener = std::function<void(const QString& absolutePath, const QString& workingDir)>;
void OpenWithDesktop(const QString& absolutePath, const QString& workingDir);

// The help document: `helpFileName` as configured, a bare name being looked up
// in the current directory (not the program's). False when there is no such
// file; a desktop that cannot open it goes unreported. True when it was
// handed to `opener`.
bool OpenHelpDocument(const QString& helpFileName, const QString& exeDir,
                      const DocumentOpener& opener = OpenWithDesktop);

// What 帮助 tells the operator when the document is missing: the place it was
// looked for, and where to name another.
QString HelpMissingText(const QString& helpFileName);

}  // namespace rig
