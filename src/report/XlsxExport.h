#pragma once
// Excel workbooks (libxlsxwriter): a test's actions with the refused ones
// highlighted plus a summary sheet; the search list as one sheet.
#include <QString>
#include <vector>

#include "report/SavedTest.h"
#include "storage/TestSearch.h"

namespace rig {

// Sheet names, in workbook order.
inline const char* const kSummarySheet = "汇总";
inline const char* const kActionsSheet = "动作记录";
inline const char* const kSearchSheet = "试验列表";

// Write through a temporary file; throw ReportError naming the file.
void WriteActionsXlsx(const SavedTest& test, const QString& path, const ReportProgress& progress = {});
void WriteSearchXlsx(const std::vector<SearchRow>& rows, const QString& path);

}  // namespace rig
