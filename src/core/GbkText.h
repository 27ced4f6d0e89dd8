#pragma once
// The one place where program text (QString) meets the GBK bytes (code page
// 936) of Config.ini, the run log and the databases' text columns.
#include <QByteArray>
#include <QString>

namespace rig {

// Character GBK cannot hold become "?"; the result is always valid GBK.
QByteArray ToGbk(const QString& text);

// Byte sequences that are not GBK become U+FFFD; never fails.
QString FromGbk(const QByteArray& bytes);

// GBK bytes of `text` cut to at most `maxBytes` without splitting a character.
QByteArray ToGbkLimited(const QString& text, int maxBytes);

}  // namespace rig
