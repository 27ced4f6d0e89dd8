#pragma once
// One cell of a libpq result, as the lab's readers take it.
#include <libpq-fe.h>

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <cstdint>

namespace rig::lab {

inline QString Cell(const PGresult* r, int row, int col) { return QString::fromUtf8(PQgetvalue(r, row, col)); }
inline int64_t Int(const PGresult* r, int row, int col) { return QByteArray(PQgetvalue(r, row, col)).toLongLong(); }
inline double Real(const PGresult* r, int row, int col) { return QByteArray(PQgetvalue(r, row, col)).toDouble(); }
inline bool Null(const PGresult* r, int row, int col) { return PQgetisnull(r, row, col); }
// A time selected as milliseconds since the epoch; invalid when null.
inline QDateTime Time(const PGresult* r, int row, int col) {
  return Null(r, row, col) ? QDateTime() : QDateTime::fromMSecsSinceEpoch(Int(r, row, col));
}

}  // namespace rig::lab
