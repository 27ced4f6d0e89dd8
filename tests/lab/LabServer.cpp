#include "lab/LabServer.h"

#include <gtest/gtest.h>
#include <libpq-fe.h>

#include <QDir>
#include <QFile>
#include <QTemporaryFile>
#include <sys/wait.h>
#include <unistd.h>
#include <QUuid>
#include <memory>
#include <vector>

#include "lab/LabConnection.h"

namespace rigtest {
namespace {

// A plain fork and exec, not QProcess: ThreadSanitizer follows fork, while
// Qt's way of starting a process makes it lose track of the mutexes that
// other threads of the test hold (a server paused from an uploader's hook).
bool RunScript(const QStringList& args) {
  QTemporaryFile output;
  if (!output.open()) return false;
  std::vector<QByteArray> words{QByteArrayLiteral("bash"), LabDbScript().toLocal8Bit()};
  for (const QString& a : args) words.push_back(a.toLocal8Bit());
  std::vector<char*> argv;
  for (QByteArray& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(output.handle(), 1);
    ::dup2(output.handle(), 2);
    ::execvp("bash", argv.data());
    ::_exit(127);
  }
  int status = 0;
  const bool ok = pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  if (!ok) {
    output.seek(0);  // the script wrote through a descriptor of its own
    ADD_FAILURE() << "lab-db.sh " << args.join(' ').toStdString() << ": " << output.readAll().toStdString();
  }
  return ok;
}

bool ReadEnv(const QString& path, LabServerInfo* info) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return false;
  for (const QByteArray& line : f.readAll().split('\n')) {
    const QString l = QString::fromUtf8(line);
    if (l.startsWith(QStringLiteral("DIR="))) info->Dir = l.mid(4);
    if (l.startsWith(QStringLiteral("PORT="))) info->Port = l.mid(5).toInt();
    if (l.startsWith(QStringLiteral("PASSFILE="))) info->PassFile = l.mid(9);
    if (l.startsWith(QStringLiteral("SSLROOTCERT="))) info->SslRootCert = l.mid(12);
  }
  return info->Port > 0 && QFile::exists(info->PassFile);
}

}  // namespace

QString LabDbScript() { return QStringLiteral(RIG_SOURCE_DIR "/scripts/lab-db.sh"); }

LabServerProcess::LabServerProcess(const QStringList& options) {
  envFile_ = QDir::tempPath() + QStringLiteral("/rig-lab-%1.env").arg(QUuid::createUuid().toString(QUuid::Id128));
  if (RunScript(QStringList{QStringLiteral("start"), QStringLiteral("--env"), envFile_} + options)) ReadEnv(envFile_, &info_);
}

LabServerProcess::~LabServerProcess() { Stop(); }

bool LabServerProcess::Pause() { return RunScript({QStringLiteral("pause"), info_.Dir}); }
bool LabServerProcess::Resume() { return RunScript({QStringLiteral("resume"), info_.Dir}); }

void LabServerProcess::Stop() {
  if (info_.Port == 0) return;
  RunScript({QStringLiteral("stop"), QStringLiteral("--env"), envFile_});
  info_ = {};
}

const LabServerInfo& SharedLabServer() {
  static LabServerInfo info;
  static std::unique_ptr<LabServerProcess> own;
  if (info.Port == 0 && !ReadEnv(QStringLiteral(RIG_LAB_SERVER_ENV), &info)) {
    own = std::make_unique<LabServerProcess>();  // run by hand: a server of our own
    info = own->Info();
    std::atexit([] { own.reset(); });
  }
  return info;
}

rig::lab::LabSettings FreshLabDatabase(const LabServerInfo& server, const QString& rigName) {
  rig::lab::LabSettings s;
  s.Host = QStringLiteral("127.0.0.1");
  s.Port = server.Port;
  s.User = QStringLiteral("rig");
  s.PassFile = server.PassFile;
  s.RigName = rigName;
  s.Database = QStringLiteral("postgres");
  const QString name = QStringLiteral("t_") + QUuid::createUuid().toString(QUuid::Id128);
  LabScalar(s, QStringLiteral("CREATE DATABASE ") + name);
  s.Database = name;
  return s;
}

rig::lab::LabSettings AsLogin(const rig::lab::LabSettings& admin, const QString& login, const QString& passFile) {
  rig::lab::LabSettings s = admin;
  s.User = login;
  s.PassFile = passFile;
  return s;
}

QString LabScalar(const rig::lab::LabSettings& settings, const QString& sql) {
  try {
    rig::lab::LabConnection c(settings);
    rig::lab::PgResult r = c.Query(sql.toUtf8().constData());
    return PQntuples(r.get()) > 0 ? QString::fromUtf8(PQgetvalue(r.get(), 0, 0)) : QString();
  } catch (const rig::lab::LabError& e) {
    ADD_FAILURE() << sql.toStdString() << ": " << e.what();
    return QString();
  }
}

}  // namespace rigtest
