#pragma once
// The window-independent steps of starting and stopping the program.
#include <QString>

namespace rig {

class GlobVar;

// Builds the shared state for a program living in `exeDir` (ending with a
// separator): empty queues and cleared flags, the paths, Config.ini loaded
// (defaults for whatever is missing) and the day's run log installed as the
// process-wide log.
void InitSharedState(GlobVar& g, const QString& exeDir);

// Writes both stations' identity texts to Config.ini (unless the caller has
// already), frees both action queues and uninstalls the run log. Returns the
// error text when Config.ini could not be written, empty otherwise; the rest
// is done either way.
QString ShutdownSharedState(GlobVar& g, bool saveIdentity = true);

// The program's folder with a trailing separator.
QString ExecutableDir();

}  // namespace rig
