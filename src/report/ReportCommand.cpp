#include "report/ReportCommand.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <cstdio>

#include "report/CsvExport.h"
#include "report/PdfReport.h"
#include "report/ReportError.h"
#include "report/SavedTest.h"
#include "report/XlsxExport.h"
#include "storage/SQLiteException.h"
#include "storage/TestSearch.h"

namespace rig {
namespace {

const QStringList kCommands = {QStringLiteral("--report"), QStringLiteral("--export-actions"),
                               QStringLiteral("--export-search")};

const char* const kUsage =
    "usage: hx4417 --report AUTOID out.pdf\n"
    "       hx4417 --export-actions AUTOID out.csv|out.xlsx\n"
    "       hx4417 --export-search [--out-index T] [--open-type T] [--work-area T] [--work-name T]\n"
    "                              [--from yyyy-MM-dd] [--to yyyy-MM-dd] [--ascending] out.csv|out.xlsx\n"
    "       any of them with --dir FOLDER: the program folder holding SaveData.db\n";

struct Usage {
  QString Message;
};

QString Suffix(const QString& path) { return QFileInfo(path).suffix().toLower(); }

void RequireSuffix(const QString& path, const QStringList& allowed) {
  if (!allowed.contains(Suffix(path)))
    throw Usage{QStringLiteral("%1: the file name must end in .%2").arg(path, allowed.join(QStringLiteral(" or .")))};
}

QDate DateOption(const QString& text) {
  const QDate d = QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
  if (!d.isValid()) throw Usage{QStringLiteral("not a date (yyyy-MM-dd): %1").arg(text)};
  return d;
}

int Run(QStringList args, QString exeDir, QTextStream& out) {
  const int dir = static_cast<int>(args.indexOf(QStringLiteral("--dir")));
  if (dir >= 0) {
    if (dir + 1 >= args.size()) throw Usage{QStringLiteral("--dir needs a folder")};
    exeDir = QDir(args[dir + 1]).absolutePath() + QLatin1Char('/');
    args.remove(dir, 2);
  }
  if (args.isEmpty() || !kCommands.contains(args[0])) throw Usage{QStringLiteral("unknown command")};
  const QString command = args.takeFirst();

  if (command == QLatin1String("--export-search")) {
    SearchFilter f;
    f.From = QDate(1900, 1, 1);
    f.To = QDate(9999, 12, 30);
    while (args.size() > 1) {
      const QString option = args.takeFirst();
      if (option == QLatin1String("--ascending")) {
        f.Ascending = true;
        continue;
      }
      if (args.size() < 2) throw Usage{QStringLiteral("%1 needs a value").arg(option)};
      const QString value = args.takeFirst();
      if (option == QLatin1String("--out-index")) f.OutIndex = value;
      else if (option == QLatin1String("--open-type")) f.OpenType = value;
      else if (option == QLatin1String("--work-area")) f.WorkArea = value;
      else if (option == QLatin1String("--work-name")) f.WorkName = value;
      else if (option == QLatin1String("--from")) f.From = DateOption(value);
      else if (option == QLatin1String("--to")) f.To = DateOption(value);
      else throw Usage{QStringLiteral("unknown option %1").arg(option)};
    }
    if (args.size() != 1) throw Usage{QStringLiteral("--export-search needs the output file")};
    const QString target = args[0];
    RequireSuffix(target, {QStringLiteral("csv"), QStringLiteral("xlsx")});
    if (!QFileInfo(exeDir + QStringLiteral("SaveData.db")).isFile())
      throw ReportError{QStringLiteral("找不到文件：%1").arg(QDir::toNativeSeparators(exeDir + QStringLiteral("SaveData.db")))};
    std::vector<SearchRow> rows;
    try {
      rows = SearchTests(exeDir, f);
    } catch (const ESQLiteException& e) {
      throw ReportError{QStringLiteral("%1：%2").arg(QDir::toNativeSeparators(exeDir + QStringLiteral("SaveData.db")), e.Message())};
    }
    if (Suffix(target) == QLatin1String("csv")) WriteSearchCsv(rows, target);
    else WriteSearchXlsx(rows, target);
    out << rows.size() << " tests -> " << target << "\n";
    return 0;
  }

  if (args.size() != 2) throw Usage{QStringLiteral("%1 needs AUTOID and the output file").arg(command)};
  const QString target = args[1];
  if (command == QLatin1String("--report")) RequireSuffix(target, {QStringLiteral("pdf")});
  else RequireSuffix(target, {QStringLiteral("csv"), QStringLiteral("xlsx")});
  const SavedTest test = LoadTestForReport(exeDir, args[0]);
  if (command == QLatin1String("--report")) WritePdfReport(test, target);
  else if (Suffix(target) == QLatin1String("csv")) WriteActionsCsv(test, target);
  else WriteActionsXlsx(test, target);
  out << "test " << test.AutoId << " (" << test.Actions.size() << " actions) -> " << target << "\n";
  return 0;
}

}  // namespace

bool IsCommandLineNoise(const QString& message) {
  return message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set"));
}

namespace {
QtMessageHandler g_previousHandler = nullptr;
}  // namespace

void QuietCommandLineMessages() {
  g_previousHandler = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (IsCommandLineNoise(message)) return;
    if (g_previousHandler) g_previousHandler(type, context, message);
    else fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
  });
}

bool IsReportCommand(const QStringList& args) {
  for (const QString& a : args) {
    if (kCommands.contains(a)) return true;
  }
  return false;
}

int RunReportCommand(const QStringList& args, const QString& exeDir, QTextStream& out, QTextStream& err) {
  try {
    return Run(args, exeDir, out);
  } catch (const Usage& u) {
    err << "hx4417: " << u.Message << "\n" << kUsage;
    return 2;
  } catch (const ReportError& e) {
    err << "hx4417: " << e.Message << "\n";
    return 1;
  }
}

}  // namespace rig
