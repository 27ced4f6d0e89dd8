#pragma once
// TControllerSim: the simulated controllers of a rig, one per station, each on
// its own line (a pseudo-terminal, or a serial device given to it). One thread
// serves all lines: it reads the program's commands, lets each TController
// answer, and writes the replies paced like a real line, with the faults
// asked for. Tests start it in-process; controller-sim is the same thing as a
// program.
#include <QByteArray>
#include <QString>
#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "SimOptions.h"
#include "StoredSettings.h"

namespace rig::sim {

class TControllerSim {
 public:
  explicit TControllerSim(SimOptions options);
  ~TControllerSim();
  TControllerSim(const TControllerSim&) = delete;
  TControllerSim& operator=(const TControllerSim&) = delete;

  // Opens every line, makes the links and starts serving. False with
  // `error` set when a line cannot be opened; nothing is left running then.
  bool Start(QString* error = nullptr);
  // Stops serving, saves the stored settings, removes the links, closes the lines.
  void Stop();

  std::vector<int> Stations() const { return options_.Stations; }
  // The device the program opens for `station`: the pseudo-terminal's slave
  // (it changes when a dropped line comes back) or the given serial device.
  QString DevicePath(int station) const;
  // DIR/station<S> with --link-dir; empty otherwise.
  QString LinkPath(int station) const;
  bool LineUp(int station) const;
  // Counts the times the line has come back after a drop.
  int LineRestores(int station) const;

  StoredSettings Stored(int station) const;
  // Every command taken from the line so far, in order: frames whole, the
  // bare bytes F1 and F2 alone.
  std::vector<QByteArray> Received(int station) const;
  // Every frame the controller has sent so far (before line faults).
  std::vector<QByteArray> Sent(int station) const;

 private:
  struct Line;

  void Run();
  void ServeOnce();
  void Abandon();  // undoes a Start that failed half-way
  bool OpenLine(Line& line, QString* error);
  void DropLine(Line& line);
  void CheckHangup(Line& line, Clock::time_point now);
  void Flush(Line& line, Clock::time_point now);
  void CollectOutput(Line& line, Clock::time_point now);
  void ReadInput(Line& line, Clock::time_point now);
  void SaveState(bool force);
  void Event(const QString& text);
  Line* Find(int station) const;

  SimOptions options_;
  std::vector<std::unique_ptr<Line>> lines_;
  mutable std::mutex mutex_;  // guards the lines against the accessors
  std::vector<QString> events_;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  int wakeFds_[2] = {-1, -1};
  bool running_ = false;
  std::map<int, uint64_t> savedVersions_;
  Clock::time_point lastSave_{};
};

}  // namespace rig::sim
