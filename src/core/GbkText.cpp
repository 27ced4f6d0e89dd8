#include "core/GbkText.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace rig {
namespace {

// Qt 6.4 knows GBK only through ICU: construct by name, not by enum.
constexpr const char* kCodec = "GBK";

QByteArray EncodeStrict(QStringView text, bool* ok) {
  QStringEncoder encoder(kCodec, QStringConverter::Flag::Stateless);
  QByteArray bytes = encoder.encode(text);
  *ok = encoder.isValid() && !encoder.hasError();
  return bytes;
}

}  // namespace

// Calls `each(character, its bytes or empty when GBK lacks it)` character by
// character, a surrogate pair as one.
template <typename Each>
void EachCharacter(const QString& text, Each each) {
  for (qsizetype i = 0; i < text.size();) {
    const qsizetype len = (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) ? 2 : 1;
    bool ok = false;
    const QStringView character = QStringView(text).mid(i, len);
    const QByteArray bytes = EncodeStrict(character, &ok);
    each(character, ok ? bytes : QByteArray());
    i += len;
  }
}

QByteArray ToGbk(const QString& text) {
  bool ok = false;
  QByteArray whole = EncodeStrict(text, &ok);
  if (ok) return whole;
  // Slow path: only the characters GBK lacks turn into '?'.
  QByteArray out;
  out.reserve(text.size() * 2);
  EachCharacter(text, [&out](QStringView, const QByteArray& bytes) { out += bytes.isEmpty() ? QByteArray("?") : bytes; });
  return out;
}

QString CharactersGbkLacks(const QString& text) {
  bool ok = false;
  EncodeStrict(text, &ok);
  if (ok) return QString();
  QString lacking;
  EachCharacter(text, [&lacking](QStringView character, const QByteArray& bytes) {
    if (bytes.isEmpty() && !lacking.contains(character)) lacking += character;
  });
  return lacking;
}

QString FromGbk(const QByteArray& bytes) {
  QStringDecoder decoder(kCodec, QStringConverter::Flag::Stateless);
  if (!decoder.isValid()) return QString::fromLatin1(bytes);
  return decoder.decode(bytes);
}

TGbkDecoder::TGbkDecoder() : decoder_(kCodec, QStringConverter::Flag::Stateless) {}

QString TGbkDecoder::operator()(QByteArrayView bytes) {
  bool ascii = true;
  for (char c : bytes) {
    if (static_cast<unsigned char>(c) >= 0x80) {
      ascii = false;
      break;
    }
  }
  if (ascii || !decoder_.isValid()) return QString::fromLatin1(bytes);
  // Stateless: every call ends its own text, so a truncated character at the
  // end of one cell cannot run into the next.
  return decoder_.decode(bytes);
}

QByteArray ToGbkLimited(const QString& text, int maxBytes) {
  QByteArray out;
  for (qsizetype i = 0; i < text.size();) {
    qsizetype len = (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) ? 2 : 1;
    QByteArray bytes = ToGbk(text.mid(i, len));
    if (out.size() + bytes.size() > maxBytes) break;
    out += bytes;
    i += len;
  }
  return out;
}

}  // namespace rig
