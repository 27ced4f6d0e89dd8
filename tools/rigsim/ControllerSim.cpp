#include "ControllerSim.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <QFile>
#include <algorithm>
#include <deque>
#include <optional>
#include <set>

#include "LineShaper.h"
#include "PseudoTerminal.h"
#include "serial/CommPort.h"
#include "serial/HexText.h"

namespace rig::sim {
namespace {

constexpr auto kIdleWake = std::chrono::milliseconds(500);
constexpr auto kHangupCheck = std::chrono::milliseconds(20);
constexpr auto kSaveInterval = std::chrono::milliseconds(500);
constexpr qsizetype kMaxPendingBytes = 1 << 20;
// A pulled cable loses nothing already on the wire: the line drops only after
// the program has had time (several of its 20 ms polls) to read the last frame.
constexpr auto kDropGrace = std::chrono::milliseconds(100);

QString Hex(const QByteArray& bytes) {
  return HexBytes(reinterpret_cast<const uint8_t*>(bytes.constData()), static_cast<int>(bytes.size())).trimmed();
}

}  // namespace

struct TControllerSim::Line {
  int Station = 0;
  QString GivenDevice;  // a serial device instead of a pseudo-terminal
  TPseudoTerminal Pty;
  TCommPort Port;
  int Fd = -1;
  QString DevicePath;
  QString LinkPath;
  std::unique_ptr<TController> Controller;
  std::unique_ptr<TLineShaper> Shaper;

  struct Pending {
    Clock::time_point At;
    QByteArray Bytes;
  };
  std::deque<Pending> Out;
  qsizetype OutBytes = 0;
  Clock::time_point LineFreeAt{};
  bool WriteBlocked = false;

  bool Up = false;
  bool HungUp = false;  // nobody has the pseudo-terminal's slave open
  bool Probed = false;
  Clock::time_point NextHangupCheck{};
  bool DropPending = false;
  std::optional<Clock::time_point> DropAt;
  std::optional<Clock::time_point> RestoreAt;
  int Restores = 0;

  std::vector<QByteArray> Received;
  std::vector<QByteArray> Sent;
};

TControllerSim::TControllerSim(SimOptions options) : options_(std::move(options)) {}

TControllerSim::~TControllerSim() { Stop(); }

TControllerSim::Line* TControllerSim::Find(int station) const {
  for (const auto& line : lines_)
    if (line->Station == station) return line.get();
  return nullptr;
}

void TControllerSim::Event(const QString& text) { events_.push_back(text); }

bool TControllerSim::OpenLine(Line& line, QString* error) {
  if (!line.GivenDevice.isEmpty()) {
    line.Fd = line.Port.OpenPort(line.GivenDevice, options_.Baud > 0 ? options_.Baud : 9600, 8, 0, 0, 0);
    if (line.Fd == kNoHandle) {
      if (error) *error = QStringLiteral("cannot open %1").arg(line.GivenDevice);
      return false;
    }
    line.DevicePath = line.GivenDevice;
  } else {
    if (!line.Pty.Open(error)) return false;
    line.Fd = line.Pty.MasterFd();
    line.DevicePath = line.Pty.SlavePath();
  }
  if (!line.LinkPath.isEmpty() && !PointLink(line.LinkPath, line.DevicePath, error)) {
    if (line.GivenDevice.isEmpty()) {
      line.Pty.Close();
    } else {
      line.Port.ClosePort(line.Fd);
    }
    line.Fd = -1;
    return false;
  }
  line.Up = true;
  line.HungUp = false;
  line.Probed = false;
  line.WriteBlocked = false;
  line.LineFreeAt = Clock::now();
  return true;
}

bool TControllerSim::Start(QString* error) {
  if (running_) return true;
  std::set<int> seen;
  for (const int s : options_.Stations) {
    if (s < 0 || s > 255 || !seen.insert(s).second) {
      if (error) *error = QStringLiteral("station numbers must be distinct bytes (0..255)");
      return false;
    }
  }
  const std::map<int, StoredSettings> stored =
      options_.StatePath.isEmpty() ? std::map<int, StoredSettings>{} : LoadStoredSettings(options_.StatePath);
  uint32_t seed = options_.Seed;
  if (seed == 0) seed = static_cast<uint32_t>(Clock::now().time_since_epoch().count());

  lines_.clear();
  for (const int s : options_.Stations) {
    auto line = std::make_unique<Line>();
    line->Station = s;
    const auto device = options_.Devices.find(s);
    if (device != options_.Devices.end()) line->GivenDevice = device->second;
    if (!options_.LinkDir.isEmpty()) line->LinkPath = options_.LinkDir + QStringLiteral("/station%1").arg(s);
    const bool faulty = options_.FaultStation == 0 || options_.FaultStation == s;
    ControllerBehaviour behaviour;
    behaviour.Speed = options_.Controller.Speed;
    behaviour.ActionMs = options_.Controller.ActionMs;
    if (faulty) behaviour = options_.Controller;
    const auto it = stored.find(s);
    line->Controller = std::make_unique<TController>(static_cast<uint8_t>(s),
                                                     it != stored.end() ? it->second : FactorySettings(), behaviour);
    line->Shaper = std::make_unique<TLineShaper>(faulty ? options_.Line : LineFaults{}, seed + static_cast<uint32_t>(s));
    savedVersions_[s] = line->Controller->StoredVersion();
    QString why;
    const bool opened = OpenLine(*line, &why);
    lines_.push_back(std::move(line));
    if (!opened) {
      if (error) *error = QStringLiteral("station %1: %2").arg(s).arg(why);
      Abandon();
      return false;
    }
  }
  if (pipe2(wakeFds_, O_NONBLOCK | O_CLOEXEC) != 0) {
    if (error) *error = QStringLiteral("cannot make the wake-up pipe");
    Abandon();
    return false;
  }
  for (const auto& line : lines_) {
    QString text = QStringLiteral("station %1: %2").arg(line->Station).arg(line->DevicePath);
    if (!line->LinkPath.isEmpty()) text += QStringLiteral(" (link %1)").arg(line->LinkPath);
    Event(text);
  }
  if (options_.Line.Any() || options_.Controller.DropLineAt > 0) Event(QStringLiteral("fault seed %1").arg(seed));
  stop_ = false;
  running_ = true;
  lastSave_ = Clock::now();
  thread_ = std::thread([this] { Run(); });
  std::vector<QString> events;
  {
    std::lock_guard lock(mutex_);
    events.swap(events_);
  }
  if (options_.OnEvent)
    for (const QString& e : events) options_.OnEvent(e);
  return true;
}

void TControllerSim::Abandon() {
  for (const auto& line : lines_) {
    if (line->Up && !line->LinkPath.isEmpty()) QFile::remove(line->LinkPath);
    if (line->Up && !line->GivenDevice.isEmpty()) line->Port.ClosePort(line->Fd);
  }
  lines_.clear();  // closes the pseudo-terminals
  events_.clear();
}

void TControllerSim::Stop() {
  if (!running_) return;
  stop_ = true;
  const char wake = 1;
  [[maybe_unused]] ssize_t n = ::write(wakeFds_[1], &wake, 1);
  thread_.join();
  std::vector<QString> events;
  {
    std::lock_guard lock(mutex_);
    SaveState(true);
    for (const auto& line : lines_) {
      if (!line->LinkPath.isEmpty()) QFile::remove(line->LinkPath);
      if (line->GivenDevice.isEmpty()) {
        line->Pty.Close();
      } else if (line->Up) {
        line->Port.ClosePort(line->Fd);
      }
      line->Up = false;
      line->Fd = -1;
    }
    events.swap(events_);
  }
  ::close(wakeFds_[0]);
  ::close(wakeFds_[1]);
  wakeFds_[0] = wakeFds_[1] = -1;
  running_ = false;
  if (options_.OnEvent)
    for (const QString& e : events) options_.OnEvent(e);
}

void TControllerSim::Run() {
  while (!stop_.load()) ServeOnce();
}

void TControllerSim::ServeOnce() {
  std::vector<pollfd> fds;
  std::vector<Line*> polled;
  fds.push_back({wakeFds_[0], POLLIN, 0});
  std::vector<QString> events;
  Clock::time_point now = Clock::now();
  Clock::time_point wakeAt = now + kIdleWake;
  {
    std::lock_guard lock(mutex_);
    for (const auto& owned : lines_) {
      Line& line = *owned;
      if (!line.Up) {
        if (line.RestoreAt && now >= *line.RestoreAt) {
          line.RestoreAt.reset();
          QString why;
          if (OpenLine(line, &why)) {
            ++line.Restores;
            Event(QStringLiteral("station %1: line back on %2").arg(line.Station).arg(line.DevicePath));
          } else {
            Event(QStringLiteral("station %1: line cannot come back: %2").arg(line.Station).arg(why));
          }
        }
        if (!line.Up) {
          if (line.RestoreAt) wakeAt = std::min(wakeAt, *line.RestoreAt);
          continue;
        }
      }
      if (line.HungUp && now >= line.NextHangupCheck) CheckHangup(line, now);
      line.Controller->Advance(now);
      CollectOutput(line, now);
      Flush(line, now);
      if (line.DropPending && line.Out.empty()) {
        if (!line.DropAt) line.DropAt = now + kDropGrace;
        if (now >= *line.DropAt) {
          DropLine(line);
          if (line.RestoreAt) wakeAt = std::min(wakeAt, *line.RestoreAt);
          continue;
        }
        wakeAt = std::min(wakeAt, *line.DropAt);
      }
      if (const auto due = line.Controller->NextDue()) wakeAt = std::min(wakeAt, *due);
      if (!line.Out.empty() && !line.WriteBlocked)
        wakeAt = std::min(wakeAt, std::max(line.Out.front().At, line.LineFreeAt));
      if (line.HungUp) {
        wakeAt = std::min(wakeAt, line.NextHangupCheck);
      } else {
        fds.push_back({line.Fd, static_cast<short>(POLLIN | (line.WriteBlocked ? POLLOUT : 0)), 0});
        polled.push_back(&line);
      }
    }
    SaveState(false);
    if (!options_.StatePath.isEmpty()) wakeAt = std::min(wakeAt, lastSave_ + kSaveInterval);
    events.swap(events_);
  }
  if (options_.OnEvent)
    for (const QString& e : events) options_.OnEvent(e);

  const auto wait = std::chrono::ceil<std::chrono::milliseconds>(wakeAt - Clock::now()).count();
  const int timeout = static_cast<int>(std::clamp<int64_t>(wait, 0, kIdleWake.count()));
  if (::poll(fds.data(), fds.size(), timeout) < 0) return;
  if (fds[0].revents & POLLIN) {
    char drain[16];
    while (::read(wakeFds_[0], drain, sizeof drain) > 0) {
    }
  }
  std::lock_guard lock(mutex_);
  now = Clock::now();
  for (size_t i = 0; i < polled.size(); ++i) {
    Line& line = *polled[i];
    const short revents = fds[i + 1].revents;
    if (!line.Up) continue;
    if (revents & POLLOUT) line.WriteBlocked = false;
    if (revents & POLLIN) ReadInput(line, now);
    if ((revents & (POLLHUP | POLLERR | POLLNVAL)) && !(revents & POLLIN)) {
      if (line.GivenDevice.isEmpty() && !(revents & POLLNVAL)) {
        line.HungUp = true;  // the program closed its side
        line.Probed = false;
        line.NextHangupCheck = now + kHangupCheck;
      } else {
        Event(QStringLiteral("station %1: %2 failed").arg(line.Station).arg(line.DevicePath));
        DropLine(line);
      }
    }
  }
}

void TControllerSim::ReadInput(Line& line, Clock::time_point now) {
  uint8_t buffer[4096];
  for (;;) {
    const ssize_t n = ::read(line.Fd, buffer, sizeof buffer);
    if (n > 0) {
      line.Controller->Receive(buffer, static_cast<int>(n), now);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if ((n == 0 || errno == EIO) && line.GivenDevice.isEmpty()) {
      line.HungUp = true;
      line.Probed = false;
      line.NextHangupCheck = now + kHangupCheck;
    }
    break;
  }
  line.Controller->Advance(now);
  CollectOutput(line, now);
  Flush(line, now);
}

void TControllerSim::CheckHangup(Line& line, Clock::time_point now) {
  pollfd p{line.Fd, POLLIN, 0};
  ::poll(&p, 1, 0);
  if (!(p.revents & POLLHUP)) {
    line.HungUp = false;
    return;
  }
  line.NextHangupCheck = now + kHangupCheck;
  if (line.Probed) return;
  line.Probed = true;
  // A user that ended without closing properly (killed) leaves the device
  // exclusive, and nobody but root could open it again: give the line a new
  // device. Only when it is still unused after the failed open, so a user that
  // has just opened it is never cut off.
  const int fd = ::open(QFile::encodeName(line.DevicePath).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd >= 0) {
    ::close(fd);
    return;
  }
  if (errno != EBUSY) return;
  ::poll(&p, 1, 0);
  if (!(p.revents & POLLHUP)) return;
  QString why;
  line.Pty.Close();
  if (OpenLine(line, &why)) {
    Event(QStringLiteral("station %1: its last user left it locked; now on %2").arg(line.Station).arg(line.DevicePath));
  } else {
    line.Up = false;
    Event(QStringLiteral("station %1: cannot renew the line: %2").arg(line.Station).arg(why));
  }
}

void TControllerSim::CollectOutput(Line& line, Clock::time_point now) {
  for (QByteArray& command : line.Controller->TakeReceived()) {
    if (options_.Verbose) Event(QStringLiteral("[%1] <- %2").arg(line.Station).arg(Hex(command)));
    line.Received.push_back(std::move(command));
  }
  for (QByteArray& frame : line.Controller->TakeOutbox()) {
    if (options_.Verbose) Event(QStringLiteral("[%1] -> %2").arg(line.Station).arg(Hex(frame)));
    Clock::time_point at = line.Out.empty() ? now : std::max(now, line.Out.back().At);
    for (Chunk& chunk : line.Shaper->Shape(frame)) {
      at += std::chrono::milliseconds(chunk.GapBeforeMs);
      line.OutBytes += chunk.Bytes.size();
      line.Out.push_back({at, std::move(chunk.Bytes)});
    }
    line.Sent.push_back(std::move(frame));
  }
  for (const QString& note : line.Controller->TakeNotes()) Event(QStringLiteral("[%1] %2").arg(line.Station).arg(note));
  while (line.OutBytes > kMaxPendingBytes && !line.Out.empty()) {
    line.OutBytes -= line.Out.front().Bytes.size();
    line.Out.pop_front();
  }
  if (line.Controller->TakeLineDropRequest()) line.DropPending = true;
}

void TControllerSim::Flush(Line& line, Clock::time_point now) {
  if (line.HungUp) {  // nobody listens: the bytes are lost, as on a real line
    line.Out.clear();
    line.OutBytes = 0;
    return;
  }
  while (!line.Out.empty() && !line.WriteBlocked) {
    Line::Pending& p = line.Out.front();
    if (std::max(p.At, line.LineFreeAt) > now) break;
    const ssize_t n = ::write(line.Fd, p.Bytes.constData(), static_cast<size_t>(p.Bytes.size()));
    if (n < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN) {
        line.WriteBlocked = true;
        break;
      }
      line.OutBytes -= p.Bytes.size();  // the other side is gone: the bytes are lost
      line.Out.pop_front();
      continue;
    }
    if (options_.Baud > 0)
      line.LineFreeAt = std::max(now, line.LineFreeAt) + std::chrono::microseconds(n * 10 * 1000000LL / options_.Baud);
    line.OutBytes -= n;
    p.Bytes.remove(0, n);
    if (p.Bytes.isEmpty()) line.Out.pop_front();
  }
}

void TControllerSim::DropLine(Line& line) {
  line.DropPending = false;
  line.DropAt.reset();
  line.Out.clear();
  line.OutBytes = 0;
  line.Controller->LineDropped();
  for (const QString& note : line.Controller->TakeNotes()) Event(QStringLiteral("[%1] %2").arg(line.Station).arg(note));
  if (line.GivenDevice.isEmpty()) {
    line.Pty.Close();  // the program's side hangs up
  } else {
    line.Port.ClosePort(line.Fd);
  }
  line.Fd = -1;
  line.Up = false;
  line.HungUp = false;
  Event(QStringLiteral("station %1: line dropped").arg(line.Station));
  const bool faulty = options_.FaultStation == 0 || options_.FaultStation == line.Station;
  if (faulty && options_.RestoreAfterMs >= 0)
    line.RestoreAt = Clock::now() + std::chrono::milliseconds(options_.RestoreAfterMs);
}

void TControllerSim::SaveState(bool force) {
  if (options_.StatePath.isEmpty()) return;
  bool changed = false;
  for (const auto& line : lines_) changed |= savedVersions_[line->Station] != line->Controller->StoredVersion();
  if (!changed) return;
  const auto now = Clock::now();
  if (!force && now - lastSave_ < kSaveInterval) return;
  // Stations of the file that are not simulated now are kept as they are.
  std::map<int, StoredSettings> all = LoadStoredSettings(options_.StatePath);
  for (const auto& line : lines_) all[line->Station] = line->Controller->Stored();
  lastSave_ = now;
  if (!SaveStoredSettings(options_.StatePath, all)) {
    Event(QStringLiteral("cannot write the state file %1").arg(options_.StatePath));
    return;
  }
  for (const auto& line : lines_) savedVersions_[line->Station] = line->Controller->StoredVersion();
}

QString TControllerSim::DevicePath(int station) const {
  std::lock_guard lock(mutex_);
  const Line* line = Find(station);
  return line ? line->DevicePath : QString();
}

QString TControllerSim::LinkPath(int station) const {
  std::lock_guard lock(mutex_);
  const Line* line = Find(station);
  return line ? line->LinkPath : QString();
}

bool TControllerSim::LineUp(int station) const {
  std::lock_guard lock(mutex_);
  const Line* line = Find(station);
  return line && line->Up;
}

int TControllerSim::LineRestores(int station) const {
  std::lock_guard lock(mutex_);
  const Line* line = Find(station);
  return line ? line->Restores : 0;
}

StoredSettings TControllerSim::Stored(int station) const {
  std::lock_guard lock(mutex_);
  const Line* line = Find(station);
  return line ? line->Controller->Stored() : StoredSettings{};
}

std::vector<QByteArray> TControllerSim::Received(int station) const {
  std::lock_guard lock(mutex_);
  const Line* line = Find(station);
  return line ? line->Received : std::vector<QByteArray>{};
}

std::vector<QByteArray> TControllerSim::Sent(int station) const {
  std::lock_guard lock(mutex_);
  const Line* line = Find(station);
  return line ? line->Sent : std::vector<QByteArray>{};
}

}  // namespace rig::sim
