#include "lab/LabServer.h"

#include <gtest/gtest.h>
#include <libpq-fe.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QUuid>
#include <memory>

#include "lab/LabConnection.h"

namespace rigtest {
namespace {

bool RunScript(const QStringList& args) {
  QProcess p;
  p.setProcessChannelMode(QProcess::MergedChannels);
  p.start(QStringLiteral("bash"), QStringList{LabDbScript()} + args);
  const bool ok = p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
  if (!ok) ADD_FAILURE() << "lab-db.sh " << args.join(' ').toStdString() << ": " << p.readAll().toStdString();
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
  }
  return info->Port > 0 && QFile::exists(info->PassFile);
}

}  // namespace

QString LabDbScript() { return QStringLiteral(RIG_SOURCE_DIR "/scripts/lab-db.sh"); }

LabServerProcess::LabServerProcess() {
  envFile_ = QDir::tempPath() + QStringLiteral("/rig-lab-%1.env").arg(QUuid::createUuid().toString(QUuid::Id128));
  if (RunScript({QStringLiteral("start"), QStringLiteral("--env"), envFile_})) ReadEnv(envFile_, &info_);
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
