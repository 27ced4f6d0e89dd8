#pragma once
// The program's report commands, for a lab that files reports without an
// operator or a display:
//   hx4417 --report AUTOID out.pdf
//   hx4417 --export-actions AUTOID out.csv|out.xlsx
//   hx4417 --export-search [--out-index T] [--open-type T] [--work-area T]
//          [--work-name T] [--from yyyy-MM-dd] [--to yyyy-MM-dd] [--ascending] out.csv|out.xlsx
// Each may be given --dir FOLDER for a program folder other than the executable's.
#include <QStringList>
#include <QTextStream>

namespace rig {

// True when the command line asks for a report command instead of the window.
bool IsReportCommand(const QStringList& args);

// Keeps the command line's stderr for what the command has to say: Qt's
// note that XDG_RUNTIME_DIR is not set (normal for a lab's scripts and
// services, where no desktop session exists) is dropped; every other message
// goes on as before. Call before the application object is made.
void QuietCommandLineMessages();

// True for a message QuietCommandLineMessages drops.
bool IsCommandLineNoise(const QString& message);

// Runs the command in `args` (without the program name) against the saved
// tests in `exeDir`. Returns the exit code: 0 done, 1 failed (the reason on
// `err`, naming the file), 2 wrong usage.
int RunReportCommand(const QStringList& args, const QString& exeDir, QTextStream& out, QTextStream& err);

}  // namespace rig
