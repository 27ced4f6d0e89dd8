#pragma once
#include <QString>
#include <stdexcept>

namespace rig {

// Every failure of the database layer; carries only its message text.
class ESQLiteException : public std::runtime_error {
 public:
  explicit ESQLiteException(const QString& message)
      : std::runtime_error(message.toStdString()), message_(message) {}
  const QString& Message() const { return message_; }

 private:
  QString message_;
};

// Fixed text of an SQLite result code ("Unknown SQLite Error Code "27"" for
// codes it does not know).
QString SQLiteErrorText(int code);

}  // namespace rig
