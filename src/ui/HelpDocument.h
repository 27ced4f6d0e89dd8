#pragma once
#include <QString>
#include <functional>

namespace rig {

// Opens a document in the desktop's application for it, not waiting for it.
using DocumentOpener = std::function<void(const QString& absolutePath, const QString& workingDir)>;
void OpenWithDesktop(const QString& absolutePath, const QString& workingDir);

// The help document: `helpFileName` as configured, a bare name being looked up
// in the current directory (not the program's). A missing file does nothing,
// silently; so does a desktop that cannot open it. True when it was handed to
// `opener`.
bool OpenHelpDocument(const QString& helpFileName, const QString& exeDir,
                      const DocumentOpener& opener = OpenWithDesktop);

}  // namespace rig
