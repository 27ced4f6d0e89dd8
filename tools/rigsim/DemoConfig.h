#pragma once
// Points the operator program at the simulated controllers, in its own
// Config.ini (GBK, section [Config]), without overriding a port the user chose.
#include <QString>
#include <QStringList>
#include <map>

namespace rig::sim {

// For each station 1 and 2 in `links` (station -> link path): ComName<S> is
// set to the link when it is missing, empty or already that link; any other
// value is the user's and stays. Returns one line per station saying what
// was done. Other stations are skipped: the program has two.
QStringList PointConfigAtLinks(const QString& iniPath, const std::map<int, QString>& links);

}  // namespace rig::sim
