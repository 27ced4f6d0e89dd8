#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QRegularExpression>

#include "SimOptions.h"

namespace rig::sim {
namespace {

const char* const kDescription = R"(Simulated controllers of the HV switch test rig, one per station, for the
operator program to talk to when no rig is attached. Each station gets a
pseudo-terminal (or the serial device given with --device); point the
program's port (ComName1, ComName2 in Config.ini) at the printed device or at
the link made with --link-dir. The program opens it like a serial port.

Every exchange is answered as a controller does (s = station number, the
first byte of every frame; checksum = sum of the payload bytes mod 256):
  handshake      s A0 01 00 05 05  -> s A0 03 00 01 12 22 cs   (link up)
  disconnect     s A0 01 00 0A 0A  -> s A0 03 00 01 12 11 cs   (link down;
                                      also stops a running test)
  settings query s A1 01 00 0F 0F  -> s A1 68 00 <104-byte parameter block> cs
                 with the stored mode, refusal option, 20 parameters and the
                 count reached in each life mode (offsets 40, 56, 72, 96)
  start command  s A2 68 00 <block> cs -> s A2 01 00 0F 0F; the mode, refusal
                 option and parameters are stored, the count place of the mode
                 is the count to resume from
  status query   s A3 01 00 05 05  -> s A3 01 00 0F 0F; after a start the test
                 runs: one action status s A3 08 00 <count, 4 bytes LE>
                 <breaks> 00 00 00 cs per switch action, then s A3 01 00 11 11
  F1             cancels the running test (nothing is sent back)
  F2             continues a test paused after a refused action
Break byte: bit 0 A1, bit 2 B1, bit 4 C1 set = closed.

Actions per mode (p1..p20 are the parameters of the start command):
  1 single close (lasts p1 ms)      2 single open (lasts p2 ms)
  3 close, p3 ms, open              4 open, p4 ms, close
  5 open, p5 ms, close, p6 ms, open
  17 life open/close: open, p7 s, close, p8 s; p9 cycles
  18 life close-open: close, p10 ms, open, p11 s; p12 cycles
  19 life open-close: open, p13 ms, close, p14 s; p15 cycles
  20 life open-close-open: open, p16 ms, close, p17 ms, open, p18 s,
     close, p19 s; p20 cycles
Other actions take --action-ms. The count of a status is the cycle the
action belongs to (1 in operation tests). A life test resumed from count c
runs cycles c+1 to the set count. After a refused action with the refusal
option "do not ignore" (10) the test pauses until F2 or F1.

Faults (for every station, or only the one given with --fault-station) are
listed below. Stop with Ctrl+C (or SIGTERM): the stored settings are saved
and the links removed.)";

bool ParseBreak(const QString& name, int& index) {
  const QString n = name.toUpper();
  if (n == QLatin1String("A1")) index = 0;
  else if (n == QLatin1String("B1")) index = 1;
  else if (n == QLatin1String("C1")) index = 2;
  else return false;
  return true;
}

// "A1@3,5" or "C1@all".
bool ParseRefusals(const QString& text, bool onClose, std::vector<Refusal>& out) {
  const qsizetype at = text.indexOf(QLatin1Char('@'));
  if (at <= 0) return false;
  int index = 0;
  if (!ParseBreak(text.left(at), index)) return false;
  const QString actions = text.mid(at + 1);
  if (actions.compare(QLatin1String("all"), Qt::CaseInsensitive) == 0) {
    out.push_back({index, onClose, 0});
    return true;
  }
  const QStringList parts = actions.split(QLatin1Char(','), Qt::SkipEmptyParts);
  if (parts.isEmpty()) return false;
  for (const QString& p : parts) {
    // "op6527": the switch's 6,527th operation, over every run.
    const bool operation = p.startsWith(QLatin1String("op"), Qt::CaseInsensitive);
    bool ok = false;
    const qlonglong n = p.mid(operation ? 2 : 0).toLongLong(&ok);
    if (!ok || n < 1) return false;
    out.push_back(operation ? Refusal{index, onClose, 0, n} : Refusal{index, onClose, n, 0});
  }
  return true;
}

bool ToInt(const QString& text, qlonglong low, qlonglong& value) {
  bool ok = false;
  value = text.toLongLong(&ok);
  return ok && value >= low;
}

}  // namespace

ParseOutcome ParseCommandLine(const QStringList& args, SimOptions& options, QString& message) {
  QCommandLineParser parser;
  parser.setApplicationDescription(QString::fromUtf8(kDescription));
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help."));
  const QCommandLineOption stations(QStringLiteral("stations"),
                                    QStringLiteral("Station numbers, one line each (default 1,2)."),
                                    QStringLiteral("list"));
  const QCommandLineOption device(QStringLiteral("device"),
                                  QStringLiteral("Serve station S on the serial device PATH instead of a "
                                                 "pseudo-terminal (repeatable)."),
                                  QStringLiteral("S=PATH"));
  const QCommandLineOption linkDir(QStringLiteral("link-dir"),
                                   QStringLiteral("Make DIR/station<S> a link to each station's device; it "
                                                  "follows the device when a dropped line comes back."),
                                   QStringLiteral("DIR"));
  const QCommandLineOption state(QStringLiteral("state"),
                                 QStringLiteral("Keep the stored mode, refusal option, parameters, counts and "
                                                "break positions in FILE across runs (default: in memory only)."),
                                 QStringLiteral("FILE"));
  const QCommandLineOption pointConfig(QStringLiteral("point-config"),
                                       QStringLiteral("Set ComName1/ComName2 in the program's Config.ini to the "
                                                      "station links (needs --link-dir). A key already set to "
                                                      "another port is left alone."),
                                       QStringLiteral("INI"));
  const QCommandLineOption speed(QStringLiteral("speed"),
                                 QStringLiteral("Run delays and actions F times faster (default 1)."),
                                 QStringLiteral("F"));
  const QCommandLineOption actionMs(QStringLiteral("action-ms"),
                                    QStringLiteral("Time one switch action takes in modes 3 to 20 (default 60)."),
                                    QStringLiteral("MS"));
  const QCommandLineOption baud(QStringLiteral("baud"),
                                QStringLiteral("Pace replies like a line at N baud (default 9600; 0: no pacing)."),
                                QStringLiteral("N"));
  const QCommandLineOption seed(QStringLiteral("seed"),
                                QStringLiteral("Seed of the random faults, to repeat a run (default: the clock)."),
                                QStringLiteral("N"));
  const QCommandLineOption verbose({QStringLiteral("v"), QStringLiteral("verbose")},
                                   QStringLiteral("Print every command received and frame sent."));
  const QCommandLineOption faultStation(QStringLiteral("fault-station"),
                                        QStringLiteral("Fault: apply the faults to station S only."),
                                        QStringLiteral("S"));
  const QCommandLineOption refuseClose(QStringLiteral("refuse-close"),
                                       QStringLiteral("Fault: break B (A1, B1, C1) stays open at closing actions "
                                                      "N,... of a run (\"all\": every one; \"opN\": the switch's Nth operation, a "
                                                      "life-test cycle counted over every run); repeatable."),
                                       QStringLiteral("B@N[,N...]"));
  const QCommandLineOption refuseOpen(QStringLiteral("refuse-open"),
                                      QStringLiteral("Fault: break B stays closed at opening actions N,... of a "
                                                     "run (\"all\": every one); repeatable."),
                                      QStringLiteral("B@N[,N...]"));
  const QCommandLineOption ignoreHandshakes(QStringLiteral("ignore-handshakes"),
                                            QStringLiteral("Fault: leave the first N handshakes unanswered "
                                                           "(\"all\": never answer one)."),
                                            QStringLiteral("N"));
  const QCommandLineOption corruptEvery(QStringLiteral("corrupt-every"),
                                        QStringLiteral("Fault: every Nth frame goes out with a wrong checksum "
                                                       "(the program must drop it)."),
                                        QStringLiteral("N"));
  const QCommandLineOption badCopyEvery(QStringLiteral("bad-copy-every"),
                                        QStringLiteral("Fault: every Nth frame is preceded by a copy with a wrong "
                                                       "checksum."),
                                        QStringLiteral("N"));
  const QCommandLineOption duplicateEvery(QStringLiteral("duplicate-every"),
                                          QStringLiteral("Fault: every Nth frame is sent twice."),
                                          QStringLiteral("N"));
  const QCommandLineOption split(QStringLiteral("split"),
                                 QStringLiteral("Fault: cut every frame into 2 to 4 random pieces written apart."));
  const QCommandLineOption splitGap(QStringLiteral("split-gap-ms"),
                                    QStringLiteral("Largest pause between the pieces of a split frame "
                                                   "(default 30)."),
                                    QStringLiteral("MS"));
  const QCommandLineOption junk(QStringLiteral("junk"),
                                QStringLiteral("Fault: 1 to 4 junk bytes (never 01 or 02) before every frame."));
  const QCommandLineOption unusedBits(QStringLiteral("unused-bits"),
                                      QStringLiteral("Fault: set the unused bits 1, 3, 5, 6, 7 of every break "
                                                     "byte."));
  const QCommandLineOption dropLineAt(QStringLiteral("drop-line-at"),
                                      QStringLiteral("Fault: drop the line once, just after action N of a run "
                                                     "has been reported and read; the test stops there."),
                                      QStringLiteral("N"));
  const QCommandLineOption operationsDone(QStringLiteral("operations-done"),
                                          QStringLiteral("The switch had done N operations before (for "
                                                         "--refuse-close B@opN after a restart)."),
                                          QStringLiteral("N"));
  const QCommandLineOption restoreAfter(QStringLiteral("restore-after"),
                                        QStringLiteral("Bring a dropped line back after MS milliseconds on a new "
                                                       "pseudo-terminal (default: never)."),
                                        QStringLiteral("MS"));
  parser.addOptions({help, stations, device, linkDir, state, pointConfig, speed, actionMs, baud, seed, verbose,
                     faultStation, refuseClose, refuseOpen, ignoreHandshakes, corruptEvery, badCopyEvery,
                     duplicateEvery, split, splitGap, junk, unusedBits, dropLineAt, operationsDone, restoreAfter});

  const auto fail = [&](const QString& text) {
    message = text + QStringLiteral("\nTry --help.");
    return ParseOutcome::Error;
  };
  if (!parser.parse(args)) return fail(parser.errorText());
  if (parser.isSet(help)) {
    message = parser.helpText();
    return ParseOutcome::Help;
  }
  if (!parser.positionalArguments().isEmpty())
    return fail(QStringLiteral("Unexpected argument: %1").arg(parser.positionalArguments().first()));

  qlonglong n = 0;
  if (parser.isSet(stations)) {
    options.Stations.clear();
    for (const QString& s : parser.value(stations).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
      if (!ToInt(s, 0, n) || n > 255) return fail(QStringLiteral("Bad station number: %1").arg(s));
      options.Stations.push_back(static_cast<int>(n));
    }
    if (options.Stations.empty()) return fail(QStringLiteral("--stations needs at least one station"));
  }
  for (const QString& d : parser.values(device)) {
    const qsizetype eq = d.indexOf(QLatin1Char('='));
    if (eq <= 0 || !ToInt(d.left(eq), 0, n) || eq + 1 >= d.size())
      return fail(QStringLiteral("Bad --device %1 (expected S=PATH)").arg(d));
    options.Devices[static_cast<int>(n)] = d.mid(eq + 1);
  }
  options.LinkDir = parser.value(linkDir);
  options.StatePath = parser.value(state);
  options.PointConfig = parser.value(pointConfig);
  if (!options.PointConfig.isEmpty() && options.LinkDir.isEmpty())
    return fail(QStringLiteral("--point-config needs --link-dir"));
  if (parser.isSet(speed)) {
    bool ok = false;
    const double f = parser.value(speed).toDouble(&ok);
    if (!ok || !(f > 0)) return fail(QStringLiteral("--speed needs a number above 0"));
    options.Controller.Speed = f;
  }
  if (parser.isSet(actionMs)) {
    if (!ToInt(parser.value(actionMs), 0, n)) return fail(QStringLiteral("Bad --action-ms"));
    options.Controller.ActionMs = n;
  }
  if (parser.isSet(baud)) {
    if (!ToInt(parser.value(baud), 0, n) || n > 4000000) return fail(QStringLiteral("Bad --baud"));
    options.Baud = static_cast<int>(n);
  }
  if (parser.isSet(seed)) {
    if (!ToInt(parser.value(seed), 1, n) || n > 0xFFFFFFFFLL) return fail(QStringLiteral("Bad --seed"));
    options.Seed = static_cast<uint32_t>(n);
  }
  options.Verbose = parser.isSet(verbose);
  if (parser.isSet(faultStation)) {
    if (!ToInt(parser.value(faultStation), 0, n) || n > 255) return fail(QStringLiteral("Bad --fault-station"));
    options.FaultStation = static_cast<int>(n);
  }
  for (const QString& r : parser.values(refuseClose))
    if (!ParseRefusals(r, true, options.Controller.Refusals))
      return fail(QStringLiteral("Bad --refuse-close %1 (expected e.g. A1@3,5)").arg(r));
  for (const QString& r : parser.values(refuseOpen))
    if (!ParseRefusals(r, false, options.Controller.Refusals))
      return fail(QStringLiteral("Bad --refuse-open %1 (expected e.g. C1@2)").arg(r));
  if (parser.isSet(ignoreHandshakes)) {
    const QString v = parser.value(ignoreHandshakes);
    if (v.compare(QLatin1String("all"), Qt::CaseInsensitive) == 0) {
      options.Controller.IgnoreHandshakes = -1;
    } else {
      if (!ToInt(v, 0, n) || n > 1000000) return fail(QStringLiteral("Bad --ignore-handshakes"));
      options.Controller.IgnoreHandshakes = static_cast<int>(n);
    }
  }
  const auto every = [&](const QCommandLineOption& o, int& out) {
    if (!parser.isSet(o)) return true;
    if (!ToInt(parser.value(o), 1, n) || n > 1000000) return false;
    out = static_cast<int>(n);
    return true;
  };
  if (!every(corruptEvery, options.Line.CorruptEvery)) return fail(QStringLiteral("Bad --corrupt-every"));
  if (!every(badCopyEvery, options.Line.BadCopyEvery)) return fail(QStringLiteral("Bad --bad-copy-every"));
  if (!every(duplicateEvery, options.Line.DuplicateEvery)) return fail(QStringLiteral("Bad --duplicate-every"));
  options.Line.Split = parser.isSet(split);
  if (parser.isSet(splitGap)) {
    if (!ToInt(parser.value(splitGap), 0, n) || n > 60000) return fail(QStringLiteral("Bad --split-gap-ms"));
    options.Line.SplitGapMs = static_cast<int>(n);
  }
  options.Line.Junk = parser.isSet(junk);
  options.Controller.SetUnusedBits = parser.isSet(unusedBits);
  if (parser.isSet(dropLineAt)) {
    if (!ToInt(parser.value(dropLineAt), 1, n)) return fail(QStringLiteral("Bad --drop-line-at"));
    options.Controller.DropLineAt = n;
  }
  if (parser.isSet(operationsDone)) {
    if (!ToInt(parser.value(operationsDone), 0, n)) return fail(QStringLiteral("Bad --operations-done"));
    options.Controller.OperationsDone = n;
  }
  if (parser.isSet(restoreAfter)) {
    if (!ToInt(parser.value(restoreAfter), 0, n) || n > 86400000) return fail(QStringLiteral("Bad --restore-after"));
    options.RestoreAfterMs = static_cast<int>(n);
  }
  return ParseOutcome::Run;
}

}  // namespace rig::sim
