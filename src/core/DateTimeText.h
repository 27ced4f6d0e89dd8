#pragma once
#include <QDateTime>
#include <QString>

namespace rig {

// "yyyy-mm-dd hh:nn:ss" (24-hour clock, always 19 characters): the form of
// every date-time stored in a database.
inline QString DateTimeText(const QDateTime& t) { return t.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")); }

}  // namespace rig
