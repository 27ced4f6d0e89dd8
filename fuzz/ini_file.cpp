// The INI reader and writer (TIniFile, ParseIniInteger) fed arbitrary files.
//
// Integer texts: ParseIniInteger must agree with a reference written from its
// rules (decimal within 32 bits; "0x", "0X" or "$" hexadecimal spelling the
// 32-bit pattern, or with a minus sign a magnitude up to 2^31; an optional
// sign; spaces around).
//
// Files: any bytes as Config.ini, then a few writes of names and values the
// program could write. After each write the value reads back as written,
// every other key reads as it did before, and reading never throws.
#include <fuzzer/FuzzedDataProvider.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>

#include "ScratchDir.h"
#include "core/GbkText.h"
#include "core/IniFile.h"

namespace {

[[noreturn]] void Fail(const char* what, const QString& a = QString(), const QString& b = QString()) {
  std::fprintf(stderr, "ini_file: %s: [%s] [%s]\n", what, qPrintable(a), qPrintable(b));
  std::abort();
}

// The integer rules, written out on their own.
std::optional<int> ReferenceInteger(const QString& text) {
  QString t = text.trimmed();
  bool negative = false;
  if (!t.isEmpty() && (t[0] == u'-' || t[0] == u'+')) {
    negative = t[0] == u'-';
    t.remove(0, 1);
  }
  unsigned base = 10;
  if (t.startsWith(u"0x") || t.startsWith(u"0X")) {
    base = 16;
    t.remove(0, 2);
  } else if (t.startsWith(u'$')) {
    base = 16;
    t.remove(0, 1);
  }
  if (t.isEmpty()) return std::nullopt;
  unsigned long long magnitude = 0;
  for (QChar c : t) {
    const char16_t u = c.unicode();
    unsigned digit;
    if (u >= u'0' && u <= u'9') digit = u - u'0';
    else if (base == 16 && u >= u'a' && u <= u'f') digit = u - u'a' + 10;
    else if (base == 16 && u >= u'A' && u <= u'F') digit = u - u'A' + 10;
    else return std::nullopt;
    magnitude = magnitude * base + digit;
    if (magnitude > 0xFFFFFFFFull) magnitude = 0x100000000ull;  // too big either way; keep reading digits
  }
  if (base == 16 && !negative) {
    if (magnitude > 0xFFFFFFFFull) return std::nullopt;
    return static_cast<int>(static_cast<uint32_t>(magnitude));
  }
  if (negative) {
    if (magnitude > 0x80000000ull) return std::nullopt;
    return static_cast<int>(-static_cast<long long>(magnitude));
  }
  if (magnitude > 0x7FFFFFFFull) return std::nullopt;
  return static_cast<int>(magnitude);
}

// Names and values as the program writes them: no line breaks, no spaces at
// either end, names without "=".
const QString kNameChars = QStringLiteral("ConfigComNameBaud12AbXyz_");
const QString kValueChars = QStringLiteral("COM1 /dev/ttyUSB0=;[]#$0x9Fa工位开关型号号码操作员·、");

QString Text(FuzzedDataProvider& in, const QString& alphabet, int maxLength) {
  QString t;
  const int length = in.ConsumeIntegralInRange(1, maxLength);
  for (int k = 0; k < length; ++k) t += alphabet[in.ConsumeIntegralInRange<int>(0, static_cast<int>(alphabet.size()) - 1)];
  return t.trimmed();
}

struct Key {
  QString Section, Name;
  bool operator<(const Key& o) const {
    const int c = Section.compare(o.Section, Qt::CaseInsensitive);
    return c != 0 ? c < 0 : Name.compare(o.Name, Qt::CaseInsensitive) < 0;
  }
};

const QString& Dir() { return rigfuzz::ScratchDir(); }

void FuzzFile(FuzzedDataProvider& in) {
  const QString path = Dir() + QStringLiteral("Config.ini");
  const std::string original = in.ConsumeRandomLengthString(4096);
  {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) Fail("cannot set up", path);
    f.write(original.data(), static_cast<qint64>(original.size()));
  }
  rig::TIniFile ini(path);

  // Keys to watch: what the file seems to name, and what gets written.
  std::map<Key, QString> watched;
  QStringList sections{QStringLiteral("Config")}, names{QStringLiteral("ComName1")};
  for (const QString& line : rig::FromGbk(QByteArray::fromStdString(original)).split(QRegularExpression(QStringLiteral("[\r\n]")))) {
    const QString t = line.trimmed();
    if (t.startsWith(u'[') && t.endsWith(u']')) sections << t.mid(1, t.size() - 2).trimmed();
    else if (t.indexOf(u'=') > 0) names << t.left(t.indexOf(u'=')).trimmed();
  }
  auto watch = [&](const QString& section, const QString& name) {
    // Every read opens the file: a few dozen keys are watched, not all.
    if (section.isEmpty() || name.isEmpty() || watched.size() >= 24) return;
    watched[{section, name}] = ini.ReadString(section, name, QStringLiteral("\x01missing"));
  };
  for (const QString& sec : sections)
    for (const QString& n : names) watch(sec, n);

  const int writes = in.ConsumeIntegralInRange(1, 6);
  for (int w = 0; w < writes; ++w) {
    const QString section = Text(in, kNameChars, 8);
    const QString name = Text(in, kNameChars, 8);
    if (section.isEmpty() || name.isEmpty()) continue;
    QString value = Text(in, kValueChars, 24);
    const bool asInteger = in.ConsumeBool();
    const int number = in.ConsumeIntegral<int>();
    try {
      if (asInteger) ini.WriteInteger(section, name, number);
      else ini.WriteString(section, name, value);
    } catch (const rig::EIniWriteError& e) {
      Fail("write refused", e.Message());
    }
    if (asInteger) {
      if (ini.ReadInteger(section, name, number ^ 1) != number) Fail("integer round trip", name, QString::number(number));
      value = QString::number(number);
    }
    const QString back = ini.ReadString(section, name, QString());
    if (back != value) Fail("value round trip", value, back);
    const Key written{section, name};
    for (auto& [key, before] : watched) {
      if (!(key < written) && !(written < key)) continue;
      const QString now = ini.ReadString(key.Section, key.Name, QStringLiteral("\x01missing"));
      if (now != before) Fail("another key changed", key.Section + QLatin1Char('/') + key.Name, before + " -> " + now);
    }
    watched[written] = value;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  if (in.ConsumeBool()) {
    const QString text = rig::FromGbk(QByteArray::fromStdString(in.ConsumeRemainingBytesAsString()));
    const std::optional<int> got = rig::ParseIniInteger(text);
    const std::optional<int> want = ReferenceInteger(text);
    if (got != want) {
      Fail("ParseIniInteger", text, got ? QString::number(*got) : QStringLiteral("none"));
    }
    return 0;
  }
  FuzzFile(in);
  return 0;
}
