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

QByteArray ToGbk(const QString& text) {
  bool ok = false;
  QByteArray whole = EncodeStrict(text, &ok);
  if (ok) return whole;
  // Slow path: encode character by character (surrogate pairs together) so
  // that only the characters GBK lacks turn into '?'.
  QByteArray out;
  out.reserve(text.size() * 2);
  for (qsizetype i = 0; i < text.size();) {
    qsizetype len = (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) ? 2 : 1;
    bool charOk = false;
    QByteArray bytes = EncodeStrict(QStringView(text).mid(i, len), &charOk);
    out += charOk && !bytes.isEmpty() ? bytes : QByteArray("?");
    i += len;
  }
  return out;
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
