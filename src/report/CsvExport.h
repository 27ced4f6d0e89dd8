#pragma once
// CSV exports: UTF-8 with a byte-order mark (so a spreadsheet program reads
// the Chinese right), one header line, CRLF line ends, marks as text.
#include <QByteArray>
#include <QString>
#include <vector>

#include "report/SavedTest.h"
#include "storage/TestSearch.h"

namespace rig {

// The column captions of the two exports (CSV and XLSX alike).
QStringList ActionColumns();
QStringList SearchColumns();
QStringList SearchRowCells(const SearchRow& row);

// One field as CSV: quoted when it holds a separator, quote or line break;
// a text a spreadsheet would take for a formula is kept as text.
QByteArray CsvField(const QString& text);

QByteArray ActionsCsv(const SavedTest& test, const ReportProgress& progress = {});
QByteArray SearchCsv(const std::vector<SearchRow>& rows);

// Write through a temporary file; throw ReportError naming the file. A test
// without actions is refused, naming its detail file.
void WriteActionsCsv(const SavedTest& test, const QString& path, const ReportProgress& progress = {});
void WriteSearchCsv(const std::vector<SearchRow>& rows, const QString& path);

// Throws ReportError naming the detail file when the test has no actions.
void RequireActions(const SavedTest& test);

}  // namespace rig
