// Creates the installation's databases in a folder: SaveData.db with table
// TestInfo and SpaceData.db with an empty table ControlState. Files that exist
// keep their rows; only missing tables are added.
#include <QCoreApplication>
#include <QDir>
#include <cstdio>

#include "storage/SQLiteException.h"
#include "storage/Schema.h"

int main(int argc, char* argv[]) {
  QCoreApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: make-databases FOLDER\n");
    return 2;
  }
  const QString dir = QDir(QString::fromLocal8Bit(argv[1])).absolutePath() + QLatin1Char('/');
  try {
    rig::EnsureTable((dir + QStringLiteral("SaveData.db")).toUtf8(), QStringLiteral("TestInfo"));
    rig::EnsureTable((dir + QStringLiteral("SpaceData.db")).toUtf8(), QStringLiteral("ControlState"));
  } catch (const rig::ESQLiteException& e) {
    std::fprintf(stderr, "make-databases: %s\n", e.what());
    return 1;
  }
  return 0;
}
