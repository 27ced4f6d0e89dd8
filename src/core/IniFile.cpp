#include "core/IniFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringList>

#include "core/DurableFolder.h"
#include "core/GbkText.h"

namespace rig {
namespace {

// The file's lines as stored (GBK bytes), without their line ends.
QList<QByteArray> ReadRawLines(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  QByteArray bytes = file.readAll();
  // CR and LF never occur inside a GBK character.
  bytes.replace("\r\n", "\n");
  bytes.replace('\r', '\n');
  QList<QByteArray> lines = bytes.split('\n');
  if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
  return lines;
}

QStringList ReadLines(const QString& path) {
  QStringList lines;
  for (const QByteArray& line : ReadRawLines(path)) lines << FromGbk(line);
  return lines;
}

// "[Name]" -> "Name"; anything else -> nothing.
std::optional<QString> SectionName(const QString& line) {
  QString t = line.trimmed();
  if (t.size() < 2 || !t.startsWith(QLatin1Char('[')) || !t.endsWith(QLatin1Char(']'))) return std::nullopt;
  return t.mid(1, t.size() - 2).trimmed();
}

// "key = value" -> key; comment and other lines -> nothing.
std::optional<QString> KeyName(const QString& line) {
  QString t = line.trimmed();
  if (t.isEmpty() || t.startsWith(QLatin1Char(';'))) return std::nullopt;
  qsizetype eq = t.indexOf(QLatin1Char('='));
  if (eq <= 0) return std::nullopt;
  return t.left(eq).trimmed();
}

bool SameName(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

}  // namespace

EIniWriteError::EIniWriteError(const QString& message)
    : std::runtime_error(message.toStdString()), message_(message) {}

QString TIniFile::ReadString(const QString& section, const QString& key, const QString& defaultValue) const {
  bool inSection = false;
  for (const QString& line : ReadLines(path_)) {
    if (auto name = SectionName(line)) {
      inSection = SameName(*name, section);
      continue;
    }
    if (!inSection) continue;
    auto k = KeyName(line);
    if (k && SameName(*k, key)) return line.mid(line.indexOf(QLatin1Char('=')) + 1).trimmed();
  }
  return defaultValue;
}

int TIniFile::ReadInteger(const QString& section, const QString& key, int defaultValue) const {
  return ParseIniInteger(ReadString(section, key, QString())).value_or(defaultValue);
}

void TIniFile::WriteString(const QString& section, const QString& key, const QString& value) {
  // Lines stay bytes: what the write does not touch goes back exactly as it
  // was, even text that is not GBK.
  QList<QByteArray> lines = ReadRawLines(path_);
  // A value is one line: a line break pasted into it would start keys and
  // sections of its own.
  QString oneLine = value;
  for (QChar& c : oneLine)
    if (c == QLatin1Char('\r') || c == QLatin1Char('\n') || c == QChar(0x2028) || c == QChar(0x2029) || c == QChar(0x85))
      c = QLatin1Char(' ');
  const QByteArray entry = ToGbk(key + QLatin1Char('=') + oneLine);

  qsizetype sectionLine = -1;
  qsizetype insertAt = -1;  // after the last non-blank line of the section
  bool replaced = false;
  for (qsizetype i = 0; i < lines.size() && !replaced; ++i) {
    const QString line = FromGbk(lines[i]);
    if (auto name = SectionName(line)) {
      if (sectionLine >= 0) break;  // left our section
      if (SameName(*name, section)) {
        sectionLine = i;
        insertAt = i + 1;
      }
      continue;
    }
    if (sectionLine < 0) continue;
    auto k = KeyName(line);
    if (k && SameName(*k, key)) {
      lines[i] = entry;
      replaced = true;
    } else if (!line.trimmed().isEmpty()) {
      insertAt = i + 1;
    }
  }
  if (!replaced) {
    if (sectionLine < 0) {
      if (!lines.isEmpty() && !FromGbk(lines.last()).trimmed().isEmpty()) lines.append(QByteArray());
      lines.append(ToGbk(QLatin1Char('[') + section + QLatin1Char(']')));
      lines.append(entry);
    } else {
      lines.insert(insertAt, entry);
    }
  }

  QSaveFile file(path_);
  if (file.open(QIODevice::WriteOnly)) {
    file.write(lines.join("\r\n") + "\r\n");
    if (file.commit()) {
      SyncFolderOf(path_);  // the renamed file, not the old one, after a power cut
      return;
    }
  }
  throw EIniWriteError(QStringLiteral("Unable to write to %1").arg(path_));
}

void TIniFile::WriteInteger(const QString& section, const QString& key, int value) {
  WriteString(section, key, QString::number(value));
}

std::optional<int> ParseIniInteger(const QString& text) {
  QString t = text.trimmed();
  bool negative = false;
  if (t.startsWith(QLatin1Char('-')) || t.startsWith(QLatin1Char('+'))) {
    negative = t.startsWith(QLatin1Char('-'));
    t = t.mid(1);
  }
  int base = 10;
  if (t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
    base = 16;
    t = t.mid(2);
  } else if (t.startsWith(QLatin1Char('$'))) {
    base = 16;
    t = t.mid(1);
  }
  if (t.isEmpty()) return std::nullopt;
  for (QChar c : t) {
    bool digit = base == 10 ? (c >= QLatin1Char('0') && c <= QLatin1Char('9')) : QStringLiteral("0123456789abcdefABCDEF").contains(c);
    if (!digit) return std::nullopt;
  }
  bool ok = false;
  qulonglong magnitude = t.toULongLong(&ok, base);
  if (!ok) return std::nullopt;
  if (base == 16 && !negative && magnitude <= 0xFFFFFFFFull) {
    // Hexadecimal spells the 32-bit pattern: $FFFFFFFF is -1.
    return static_cast<int>(static_cast<quint32>(magnitude));
  }
  if (magnitude > 0x80000000ull) return std::nullopt;
  const qlonglong value = negative ? -static_cast<qlonglong>(magnitude) : static_cast<qlonglong>(magnitude);
  if (value > INT32_MAX) return std::nullopt;
  return static_cast<int>(value);
}

}  // namespace rig
