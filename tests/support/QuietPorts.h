#pragma once
// Window tests must never open the machine's real serial ports: this points
// both stations of a program folder's Config.ini at pseudo-terminals that
// nobody answers, so the window opens its links quietly and its writes go
// nowhere.
#include <QString>

#include "core/IniFile.h"
#include "rigsim/PseudoTerminal.h"

namespace rigtest {

class QuietPorts {
 public:
  // Adds ComName1/ComName2 to `exeDir`'s Config.ini, keeping what is there.
  explicit QuietPorts(const QString& exeDir) {
    rig::TIniFile ini(exeDir + QStringLiteral("Config.ini"));
    for (int s = 0; s < 2; ++s) {
      lines_[s].Open();
      ini.WriteString(QStringLiteral("Config"), QStringLiteral("ComName%1").arg(s + 1), lines_[s].SlavePath());
    }
  }
  QString Device(int station) const { return lines_[station - 1].SlavePath(); }
  // What is written here arrives on the station's port.
  int MasterFd(int station) const { return lines_[station - 1].MasterFd(); }

 private:
  rig::sim::TPseudoTerminal lines_[2];
};

}  // namespace rigtest
