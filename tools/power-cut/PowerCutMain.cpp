// power-cut: what a power cut at any moment of a real run leaves, and
// whether the program starts on it and keeps every promise.
//
// For each seed: a fresh installation; a run of the program's own saving
// code (RecordedRun) under the preloaded file-operation recorder; then, for
// every cut point of the recorded operations, crash states under the strict
// rule (only what is synced; everything; prefixes and random subsets of what
// is not; a torn last write), each distinct one written out and checked
// (StateCheck).
//
//   power-cut [--seeds N] [--first-seed S] [--variants V] [--ignore-folder-syncs --expect-failures]
//
// --ignore-folder-syncs tells the recorder to leave folder syncs out of the
// log, as if the program made none: the check must then find lost tests
// (--expect-failures turns that into success).
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <map>
#include <random>
#include <set>

#include "CrashStates.h"
#include "PlannedRuns.h"
#include "RecordedRun.h"
#include "StateCheck.h"

using namespace powercut;

namespace {

struct Options {
  int seeds = 1;
  unsigned firstSeed = 1;
  int variants = 2;  // random prefixes and subsets per cut point, each
  bool ignoreFolderSyncs = false;
  bool expectFailures = false;
};

std::string ReadAll(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  const QByteArray bytes = f.readAll();
  return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

std::map<std::string, std::string> ReadTree(const QString& root) {
  std::map<std::string, std::string> files;
  QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString path = it.next();
    files[QDir(root).relativeFilePath(path).toStdString()] = ReadAll(path);
  }
  return files;
}

void WriteTree(const QString& root, const FileTree& tree) {
  QDir(root).removeRecursively();
  QDir().mkpath(root);
  for (const std::string& folder : tree.Folders) QDir(root).mkpath(QString::fromStdString(folder));
  for (const auto& [path, bytes] : tree.Files) {
    QFile f(root + QLatin1Char('/') + QString::fromStdString(path));
    if (f.open(QIODevice::WriteOnly)) f.write(bytes.data(), static_cast<qint64>(bytes.size()));
  }
}

QByteArray Fingerprint(const FileTree& tree) {
  QCryptographicHash h(QCryptographicHash::Sha1);
  for (const std::string& folder : tree.Folders) h.addData(QByteArray::fromStdString("d " + folder + '\n'));
  for (const auto& [path, bytes] : tree.Files) {
    h.addData(QByteArray::fromStdString("f " + path + ' ' + std::to_string(bytes.size()) + '\n'));
    h.addData(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
  }
  return h.result();
}

// A folder for the crash states: in memory when there is one (nothing here
// needs a real disk, and thousands of states are written).
QString ScratchParent() {
  const QString shm = QStringLiteral("/dev/shm");
  return QFileInfo(shm).isDir() && QFileInfo(shm).isWritable() ? shm : QDir::tempPath();
}

// Runs this program's "record" step under the recorder. True when it ended well.
bool Record(const QString& root, const QString& log, unsigned seed, const Options& o) {
  const QByteArray self = QFile::encodeName(QCoreApplication::applicationFilePath());
  const QByteArray recorder = QFile::encodeName(QCoreApplication::applicationDirPath() + "/libpowercut_recorder.so");
  const QByteArray rootArg = QFile::encodeName(root + '/');
  const QByteArray seedArg = QByteArray::number(seed);
  const pid_t pid = fork();
  if (pid == 0) {
    setenv("LD_PRELOAD", recorder.constData(), 1);
    setenv("POWERCUT_ROOT", QFile::encodeName(root).constData(), 1);
    setenv("POWERCUT_LOG", QFile::encodeName(log).constData(), 1);
    if (o.ignoreFolderSyncs) setenv("POWERCUT_IGNORE_FOLDER_SYNCS", "1", 1);
    execl(self.constData(), self.constData(), "record", rootArg.constData(), seedArg.constData(), nullptr);
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

struct Totals {
  size_t ops = 0, cuts = 0, crashStates = 0, distinctStates = 0, checks = 0;
  int recovered = 0, orphanStates = 0;
  std::map<std::string, int> failures;  // kind -> states
  std::map<std::string, std::string> example;
};

void CheckOne(const QString& stateDir, const FileTree& tree, const std::vector<PlannedRun>& runs,
              const Promises& promises, size_t cut, const char* variant, Totals& t) {
  WriteTree(stateDir, tree);
  const CheckOutcome out = CheckState(stateDir + '/', runs, promises);
  ++t.checks;
  t.recovered += out.RecoveredTests;
  if (out.OrphanFiles > 0) ++t.orphanStates;
  std::set<std::string> kinds;
  for (const std::string& f : out.Failures) {
    const std::string kind = f.substr(0, f.find(':'));
    if (kinds.insert(kind).second) ++t.failures[kind];
    t.example.try_emplace(kind, f + " (cut after op " + std::to_string(cut) + ", " + variant + ")");
  }
}

bool RunSeed(unsigned seed, const Options& o, const QString& scratch, Totals& t) {
  const QString root = scratch + QStringLiteral("/install-%1").arg(seed);
  const QString log = scratch + QStringLiteral("/ops-%1.log").arg(seed);
  QDir().mkpath(root);
  // A fresh installation as the build leaves it (both databases, empty);
  // with every other seed one whose SaveData.db was never made.
  const QString bin = QCoreApplication::applicationDirPath();
  QFile::copy(bin + "/SpaceData.db", root + "/SpaceData.db");
  if (seed % 2 == 1) QFile::copy(bin + "/SaveData.db", root + "/SaveData.db");
  const std::map<std::string, std::string> before = ReadTree(root);
  if (!Record(root, log, seed, o)) {
    std::fprintf(stderr, "the recorded run of seed %u failed\n", seed);
    return false;
  }
  const CrashModel model(DecodeOps(ReadAll(log)), before);
  // Gone, as the disk was: a summary row names its detail file by the path
  // it was saved at, which must not lead back to the recorded run's files.
  QDir(root).removeRecursively();
  const std::vector<Op>& ops = model.Ops();
  const std::vector<PlannedRun> runs = PlannedRuns(seed);
  t.ops += ops.size();
  std::mt19937 random(seed);
  std::set<std::string> checked;  // a state and the promises it is held to
  std::set<QByteArray> distinct;
  const QString stateDir = scratch + QStringLiteral("/state");
  for (size_t cut = 0; cut < ops.size(); ++cut) {
    ++t.cuts;
    const Promises promises = PromisesAt(ops, cut);
    const std::vector<size_t> undecided = model.Undecided(cut);
    auto consider = [&](const char* variant, const std::function<bool(size_t)>& kept, TornWrite torn = {}) {
      const FileTree tree = model.StateAt(cut, kept, torn);
      ++t.crashStates;
      const QByteArray fingerprint = Fingerprint(tree);
      distinct.insert(fingerprint);
      if (checked.insert(fingerprint.toStdString() + promises.Key()).second)
        CheckOne(stateDir, tree, runs, promises, cut, variant, t);
    };
    consider("synced only", [](size_t) { return false; });
    if (undecided.empty()) continue;
    consider("everything", [](size_t) { return true; });
    for (int v = 0; v < o.variants; ++v) {
      const size_t keep = std::uniform_int_distribution<size_t>(0, undecided.size() - 1)(random);
      const size_t limit = undecided[keep];
      consider("a prefix of the unsynced", [limit](size_t i) { return i < limit; });
      std::set<size_t> subset;
      for (size_t i : undecided) {
        if (random() & 1) subset.insert(i);
      }
      consider("a subset of the unsynced", [&subset](size_t i) { return subset.count(i) > 0; });
    }
    for (auto it = undecided.rbegin(); it != undecided.rend(); ++it) {
      if (ops[*it].Kind != OpKind::Write || ops[*it].Data.size() < 2) continue;
      const size_t torn = *it;
      const size_t keepBytes = std::uniform_int_distribution<size_t>(1, ops[torn].Data.size() - 1)(random);
      consider("a torn last write", [torn](size_t i) { return i < torn; }, TornWrite{torn, keepBytes});
      break;
    }
  }
  t.distinctStates += distinct.size();
  return true;
}

Options Parse(const QStringList& args) {
  Options o;
  for (int i = 1; i < args.size(); ++i) {
    const QString a = args[i];
    const QString next = i + 1 < args.size() ? args[i + 1] : QString();
    if (a == "--seeds") o.seeds = next.toInt(), ++i;
    else if (a == "--first-seed") o.firstSeed = next.toUInt(), ++i;
    else if (a == "--variants") o.variants = next.toInt(), ++i;
    else if (a == "--ignore-folder-syncs") o.ignoreFolderSyncs = true;
    else if (a == "--expect-failures") o.expectFailures = true;
  }
  return o;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const QStringList args = app.arguments();
  if (args.size() >= 4 && args[1] == "record") return RecordRun(args[2], args[3].toUInt());

  const Options o = Parse(args);
  QTemporaryDir scratch(ScratchParent() + QStringLiteral("/power-cut-XXXXXX"));
  QElapsedTimer clock;
  clock.start();
  Totals t;
  for (int s = 0; s < o.seeds; ++s) {
    if (!RunSeed(o.firstSeed + s, o, scratch.path(), t)) return 2;
  }
  std::printf("%d recorded runs, %zu file operations, %zu cut points\n", o.seeds, t.ops, t.cuts);
  std::printf("%zu crash states, %zu distinct, %zu checks (a state and the promises made before its cut)\n",
              t.crashStates, t.distinctStates, t.checks);
  std::printf("tests saved by the start-up's recovery: %d; states with a detail file no row names: %d\n", t.recovered,
              t.orphanStates);
  for (const auto& [kind, states] : t.failures) {
    std::printf("FAILED %s: %d states, e.g. %s\n", kind.c_str(), states, t.example[kind].c_str());
  }
  std::printf("%.1f s\n", clock.elapsed() / 1000.0);
  if (t.failures.empty()) std::printf("every state kept every promise\n");
  return o.expectFailures == t.failures.empty() ? 1 : 0;
}
