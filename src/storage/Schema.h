#pragma once
#include <QByteArray>
#include <QString>

namespace rig {

// The CREATE statement of `table` ("TestInfo" or "ControlState") from the
// schema file; empty for any other name. Safe to run on an existing table.
QByteArray SchemaStatement(const QString& table);

// Creates `table` in the database file `path` (UTF-8 name) unless it is there.
// Throws ESQLiteException when that fails.
void EnsureTable(const QByteArray& path, const QString& table);

}  // namespace rig
