#pragma once
// Brings the lab database up to the schema the program knows (LabSchema.sql).
#include <QString>
#include <utility>
#include <vector>

namespace rig::lab {

class LabConnection;

// The schema file's steps, version and statements, in file order.
std::vector<std::pair<int, QString>> LabSchemaSteps();
int LatestLabSchemaVersion();

// Applies every step newer than the database's version in one transaction,
// under a lock so that rigs starting together apply it once. Returns the
// version the database is at. Throws LabError; a database newer than the
// program is left alone.
int EnsureLabSchema(LabConnection& connection);

}  // namespace rig::lab
