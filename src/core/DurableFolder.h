#pragma once
// A file's data survives a power cut once the file is synced; its name (made,
// removed or renamed) only once the folder holding it is synced too.
#include <QString>

namespace rig {

// Syncs the folder itself, making the names made or removed in it durable.
// False when it could not be opened or synced.
bool SyncFolder(const QString& folder);

// Syncs the folder holding `path`.
bool SyncFolderOf(const QString& path);

// Makes `folder` and any missing parents, then syncs the parent of each level
// (the existing ones too: a folder made by a run that was killed before its
// parent was synced is made durable here). False when it could not be made;
// a failed sync is not a failure to make it.
bool MakeFolderDurably(const QString& folder);

}  // namespace rig
