#pragma once
// A pseudo-terminal pair: the simulator keeps the master side, the program
// opens the slave device (/dev/pts/N) as if it were a serial port.
#include <QString>

namespace rig::sim {

class TPseudoTerminal {
 public:
  TPseudoTerminal() = default;
  ~TPseudoTerminal() { Close(); }
  TPseudoTerminal(const TPseudoTerminal&) = delete;
  TPseudoTerminal& operator=(const TPseudoTerminal&) = delete;

  // A new pair with the slave in raw mode, so bytes pass unchanged even
  // before the program has configured its side. The master is non-blocking.
  bool Open(QString* error = nullptr);
  // Closing the master hangs up the slave: to the program the device is gone.
  void Close();

  bool IsOpen() const { return master_ >= 0; }
  int MasterFd() const { return master_; }
  QString SlavePath() const { return slavePath_; }

 private:
  int master_ = -1;
  QString slavePath_;
};

// Makes `linkPath` a symbolic link to `target`, replacing what is there in
// one step, so an opener never finds it missing.
bool PointLink(const QString& linkPath, const QString& target, QString* error = nullptr);

}  // namespace rig::sim
