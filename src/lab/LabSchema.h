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

// Who asks: a rig about to upload, a search that only reads, or the lab's
// administrator (lab-admin).
enum class SchemaUse { Upload, Read, Administer };

// Applies every step newer than the database's version in one transaction,
// under a lock so that rigs starting together apply it once. Returns the
// version the database is at. Throws LabError; a database newer than the
// program is left alone. A database set up by lab-admin (its tables under
// row rules) is changed only by it: an upload then throws LabError with
// BehindText's words, a read goes on with the older version.
int EnsureLabSchema(LabConnection& connection, SchemaUse use = SchemaUse::Upload);

// "数据库版本过旧（第 3 版，本程序需要第 4 版）…": uploads wait for the administrator.
QString BehindText(int version, int latest);

// In a lab set up by lab-admin a rig's login may write under one rig name
// only: throws LabError naming both when `rigName` is not the login's (or
// the login has none), before any test is refused for it. The owner and
// other logins outside lab_rig pass.
void CheckRigName(LabConnection& connection, const QString& rigName);

}  // namespace rig::lab
