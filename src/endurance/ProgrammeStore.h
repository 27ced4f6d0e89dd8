#pragma once
// Programmes kept in Programmes.db beside SaveData.db (the saved tests'
// files are not touched). Every change is one transaction that writes the
// programme whole, committed with synchronous=EXTRA, and the file's name is
// synced into the program folder when it is made: what a call has stored
// survives a kill and a power cut. Texts are UTF-8. Each call opens the file
// and closes it again, as the saves do.
#include <QString>
#include <optional>
#include <vector>

#include "endurance/Programme.h"
#include "endurance/ProgrammeSink.h"

namespace rig {

// ExeDir + "Programmes.db".
QString ProgrammesPath(const QString& exeDir);

class TProgrammeStore {
 public:
  explicit TProgrammeStore(QString exeDir) : exeDir_(std::move(exeDir)) {}
  // The program folder: Programmes.db and Config.ini are there.
  const QString& ExeDir() const { return exeDir_; }

  // Writes `p` whole; a programme without an Id gets one, one without a
  // LabId a new uuid; its Revision goes up by one. Throws ESQLiteException
  // when it cannot be stored (nothing of it changes then). The sink, when
  // set, hears of it after the commit.
  void Save(Programme& p) const;
  // The same, adding `times` (actions' arrivals) in the same transaction.
  void Save(Programme& p, const std::vector<ActionTime>& times) const;
  // Every action arrival stored for programme `id`, in order.
  std::vector<ActionTime> ActionTimes(int64_t id) const;
  std::optional<Programme> Load(int64_t id) const;
  // The report number of programme `id`, given at its first report or
  // export and kept from then on, whatever the prefix becomes: Config.ini's
  // report prefix, "P" and the programme's Id ("HX4417-P00003"), a series
  // apart from the tests'. Throws ESQLiteException.
  QString GiveReportNumber(int64_t id) const;
  // Programmes the operator has not ended, oldest first: offered at start-up.
  std::vector<Programme> Unfinished() const;
  // Every programme, oldest first.
  std::vector<Programme> All() const;
  // Programmes whose factory number holds `text` (letters without case),
  // oldest first: the candidates of a switch's history.
  std::vector<Programme> OfSwitch(const QString& text) const;

  void SetSink(IProgrammeSink* sink) { sink_ = sink; }

 private:
  QString exeDir_;
  IProgrammeSink* sink_ = nullptr;
};

}  // namespace rig
