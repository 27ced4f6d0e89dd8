#pragma once
// Report numbers. A saved test is given its report number once, when it is
// saved (or, for a test saved before numbers existed, when its first report
// or export is made): the installation's prefix, set in Config.ini
// ([Config] ReportPrefix=..., "HX4417-" when unset), followed by a running
// counter of at least five digits: "HX4417-00042". The PDF, the exports and
// the proposed file names all show that same text.
//
// The numbers live in SaveData.db in a table of their own beside TestInfo,
// which stays as it is:
//   ReportNumbers(Seq INTEGER PRIMARY KEY AUTOINCREMENT,  -- the counter
//                 TestAutoID INTEGER UNIQUE,              -- TestInfo.AutoID
//                 Number TEXT)                            -- GBK, as given
// AUTOINCREMENT never hands out a counter twice, also after a test is
// deleted. A number once given never changes, whatever the prefix becomes.
#include <QString>
#include <cstdint>

namespace rig {

// The prefix Config.ini under `exeDir` sets.
QString ReportPrefix(const QString& exeDir);

// Prefix and counter as one number text.
QString FormatReportNumber(const QString& prefix, int64_t counter);

// The number of test `autoId` in SaveData.db under `exeDir`, given now when
// it has none. Throws ESQLiteException when the database cannot be written
// or holds no such test.
QString GiveReportNumber(const QString& exeDir, int64_t autoId);

// The same right after a save; a failure is left for the first report to
// mend and never fails the save.
void GiveReportNumberAfterSave(const QString& exeDir, int64_t autoId) noexcept;

// The number already given to `autoId`, read without writing anything;
// empty when none was given or the database cannot be read.
QString ReadReportNumber(const QString& summaryPath, int64_t autoId);

}  // namespace rig
