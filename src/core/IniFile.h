#pragma once
// A small INI file in the program's code page (GBK), read and written the way
// the Windows profile functions do it: every call opens the file, does its
// work and lets it go; lines it does not touch are kept as they are.
#include <QString>
#include <optional>
#include <stdexcept>
#include <string>

namespace rig {

// A write the file layer refused; the message is "Unable to write to <path>".
class EIniWriteError : public std::runtime_error {
 public:
  explicit EIniWriteError(const QString& message);
  QString Message() const { return message_; }

 private:
  QString message_;
};

class TIniFile {
 public:
  explicit TIniFile(QString path) : path_(std::move(path)) {}

  const QString& FileName() const { return path_; }

  // Missing file, section or key: the default. Never throws.
  QString ReadString(const QString& section, const QString& key, const QString& defaultValue) const;
  int ReadInteger(const QString& section, const QString& key, int defaultValue) const;

  // Creates the file and the section when missing. The file is replaced as a
  // whole (written beside it, then renamed), so a failure never leaves half a
  // file. Throws EIniWriteError when it cannot be written.
  void WriteString(const QString& section, const QString& key, const QString& value);
  void WriteInteger(const QString& section, const QString& key, int value);

 private:
  QString path_;
};

// Decimal, or hexadecimal with "0x", "0X" or "$"; an optional sign; spaces
// around are ignored. Anything else, or a value beyond 32 bits: nothing.
std::optional<int> ParseIniInteger(const QString& text);

}  // namespace rig
