#pragma once
// The real PostgreSQL server the lab tests run against. CTest starts one per
// test run (the LabServer.Start fixture) and names it in an env file; a lab
// test program run by hand starts its own and stops it when it exits. Each
// test gets a fresh database of its own on it.
#include <QString>
#include <QStringList>

#include "lab/LabSettings.h"

namespace rigtest {

struct LabServerInfo {
  QString Dir;
  int Port = 0;
  QString PassFile;
  QString SslRootCert;  // started with --ssl: the root certificate of its CA
};

// Starts a server with scripts/lab-db.sh; Stop() removes it.
class LabServerProcess {
 public:
  // Starts it with lab-db.sh's start `options` (--ssl, --messages de);
  // ADD_FAILURE and Port 0 when it cannot.
  explicit LabServerProcess(const QStringList& options = {});
  ~LabServerProcess();
  const LabServerInfo& Info() const { return info_; }
  bool Pause();   // server stopped, folder kept
  bool Resume();  // started again on the same port
  void Stop();

 private:
  LabServerInfo info_;
  QString envFile_;
};

// The run's shared server.
const LabServerInfo& SharedLabServer();

// A new, empty database on `server`, and the settings that reach it.
rig::lab::LabSettings FreshLabDatabase(const LabServerInfo& server, const QString& rigName = QStringLiteral("一号台"));

// Runs one statement on the database of `settings` and returns the first
// cell of the first row (empty when none); fails the test on an error.
QString LabScalar(const rig::lab::LabSettings& settings, const QString& sql);

// The path of a program in the build's bin folder or scripts folder.
QString LabDbScript();

// `admin`'s database reached as `login`, whose password is in `passFile`.
rig::lab::LabSettings AsLogin(const rig::lab::LabSettings& admin, const QString& login, const QString& passFile);

}  // namespace rigtest
