#pragma once
// What the lab's administrator does to the lab database (lab-admin): bring
// it to the newest schema with its rights, and give each rig and viewer a
// login of its own. Run with a login that owns the database and may create
// roles.
#include <QString>

namespace rig::lab {

class LabConnection;

// Applies every schema step the database lacks, then LabRights.sql (both
// safe to repeat). Returns the version the database is at. Throws LabError.
int SetUpLab(LabConnection& connection);

// Makes (or, when it exists, updates) the login `login` with `password` as
// a member of lab_rig and ties it to `rigName`. Throws LabError when the
// name is another login's or the login is another rig's.
void AddRig(LabConnection& connection, const QString& login, const QString& rigName, const QString& password);

// Makes (or updates) the login `login` as a member of lab_viewer.
void AddViewer(LabConnection& connection, const QString& login, const QString& password);

// A new random password (24 hex digits).
QString NewPassword();

}  // namespace rig::lab
