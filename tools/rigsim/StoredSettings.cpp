#include "StoredSettings.h"

#include <QFile>
#include <QSaveFile>
#include <QStringList>
#include <QTextStream>

namespace rig::sim {
namespace {

QString Join(const int32_t* values, int n) {
  QStringList parts;
  for (int i = 0; i < n; ++i) parts << QString::number(values[i]);
  return parts.join(QLatin1Char(' '));
}

// Fills `out` from space-separated integers; false (and `out` untouched)
// unless there are exactly `n` of them.
template <typename T>
bool Split(const QString& text, T* out, int n) {
  const QStringList parts = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
  if (parts.size() != n) return false;
  T values[32];
  for (int i = 0; i < n; ++i) {
    bool ok = false;
    values[i] = static_cast<T>(parts[i].toInt(&ok));
    if (!ok) return false;
  }
  std::copy(values, values + n, out);
  return true;
}

}  // namespace

bool StoredSettings::operator==(const StoredSettings& o) const {
  return Block.Mode == o.Block.Mode && Block.RefusalOption == o.Block.RefusalOption &&
         Block.Parameters == o.Block.Parameters && Block.Counts == o.Block.Counts && Closed == o.Closed;
}

StoredSettings FactorySettings() {
  StoredSettings s;
  s.Block.Mode = 17;
  s.Block.RefusalOption = 5;
  s.Block.Parameters = {300, 300, 300, 300, 300, 300, 10, 10, 500, 300, 10, 500, 300, 10, 500, 300, 300, 10, 10, 500};
  return s;
}

std::map<int, StoredSettings> LoadStoredSettings(const QString& path) {
  std::map<int, StoredSettings> stations;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return stations;
  QTextStream in(&file);
  StoredSettings* current = nullptr;
  while (!in.atEnd()) {
    const QString line = in.readLine().trimmed();
    if (line.isEmpty() || line.startsWith(QLatin1Char('#'))) continue;
    if (line.startsWith(QLatin1String("[station")) && line.endsWith(QLatin1Char(']'))) {
      bool ok = false;
      const int station = line.mid(8, line.size() - 9).toInt(&ok);
      current = ok ? &(stations[station] = FactorySettings()) : nullptr;
      continue;
    }
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    if (!current || eq <= 0) continue;
    const QString key = line.left(eq).trimmed();
    const QString value = line.mid(eq + 1).trimmed();
    ParameterBlock& b = current->Block;
    bool ok = false;
    if (key == QLatin1String("mode")) {
      const int v = value.toInt(&ok);
      if (ok) b.Mode = v;
    } else if (key == QLatin1String("refusal")) {
      const int v = value.toInt(&ok);
      if (ok) b.RefusalOption = v;
    } else if (key == QLatin1String("parameters")) {
      Split(value, b.Parameters.data(), kParameterCount);
    } else if (key == QLatin1String("counts")) {
      Split(value, b.Counts.data(), kLifeModeCount);
    } else if (key == QLatin1String("closed")) {
      int closed[kBreaks];
      if (Split(value, closed, kBreaks))
        for (int i = 0; i < kBreaks; ++i) current->Closed[i] = closed[i] != 0;
    }
  }
  return stations;
}

bool SaveStoredSettings(const QString& path, const std::map<int, StoredSettings>& stations) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) return false;
  QTextStream out(&file);
  out << "# controller-sim: what each simulated controller keeps between runs\n";
  for (const auto& [station, s] : stations) {
    const int32_t closed[kBreaks] = {s.Closed[0], s.Closed[1], s.Closed[2]};
    out << "[station" << station << "]\n"
        << "mode=" << s.Block.Mode << "\n"
        << "refusal=" << s.Block.RefusalOption << "\n"
        << "parameters=" << Join(s.Block.Parameters.data(), kParameterCount) << "\n"
        << "counts=" << Join(s.Block.Counts.data(), kLifeModeCount) << "\n"
        << "closed=" << Join(closed, kBreaks) << "\n";
  }
  out.flush();
  return file.commit();
}

}  // namespace rig::sim
