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

// One text field as CSV: quoted when it holds a separator, quote or line
// break; a text that starts with = + - @, a tab or a carriage return gets a
// leading "'" so no spreadsheet takes it for a formula.
QByteArray CsvField(const QString& text);

// One line of text fields, each as CsvField writes it, ended by CRLF.
QByteArray CsvLine(const QStringList& cells);

// What every CSV export starts with, so a spreadsheet program reads UTF-8.
inline const QByteArray kCsvBom("\xEF\xBB\xBF");

// A number column's field: an integer or the "-" marker as it is, anything
// else guarded like a text.
QByteArray CsvNumberField(const QString& text);

// What the position rule found on break `b` of `a`: "拒合", "拒分", empty,
// or "未判定" for an action the mode does not have.
QString JudgedText(const SavedAction& a, int b);

QByteArray ActionsCsv(const SavedTest& test, const ReportProgress& progress = {});
QByteArray SearchCsv(const std::vector<SearchRow>& rows);

// Write through a temporary file; throw ReportError naming the file. A test
// without actions is refused, naming its detail file.
void WriteActionsCsv(const SavedTest& test, const QString& path, const ReportProgress& progress = {});
void WriteSearchCsv(const std::vector<SearchRow>& rows, const QString& path);

// Throws ReportError naming the detail file when the test has no actions.
void RequireActions(const SavedTest& test);

}  // namespace rig
