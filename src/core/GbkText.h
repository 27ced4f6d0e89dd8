#pragma once
// The one place where program text (QString) meets the GBK bytes (code page
// 936) of Config.ini, the run log and the databases' text columns.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringDecoder>

namespace rig {

// Character GBK cannot hold become "?"; the result is always valid GBK.
QByteArray ToGbk(const QString& text);

// The characters of `text` GBK cannot hold, each once, in the order they
// first appear; empty when it can hold all of them.
QString CharactersGbkLacks(const QString& text);

// Byte sequences that are not GBK become U+FFFD; never fails.
QString FromGbk(const QByteArray& bytes);

// FromGbk for many texts in a row (a list of saved tests, the cells of a
// detail file): one converter for all of them, and plain ASCII, the most
// common text there, never reaches it. Each text is decoded on its own.
class TGbkDecoder {
 public:
  TGbkDecoder();
  QString operator()(QByteArrayView bytes);

 private:
  QStringDecoder decoder_;
};

// GBK bytes of `text` cut to at most `maxBytes` without splitting a character.
QByteArray ToGbkLimited(const QString& text, int maxBytes);

}  // namespace rig
