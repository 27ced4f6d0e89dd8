#include "serial/HexText.h"

namespace rig {

namespace {
constexpr char kDigits[] = "0123456789ABCDEF";
}

QString HexByte(uint8_t value) {
  const QChar digits[2] = {QLatin1Char(kDigits[value >> 4]), QLatin1Char(kDigits[value & 0x0F])};
  return QString(digits, 2);
}

QString HexBytes(const uint8_t* bytes, int count) {
  QString text;
  if (count <= 0) return text;
  text.reserve(count * 3);
  for (int i = 0; i < count; ++i) {
    text.append(QLatin1Char(kDigits[bytes[i] >> 4]));
    text.append(QLatin1Char(kDigits[bytes[i] & 0x0F]));
    text.append(QLatin1Char(' '));
  }
  return text;
}

}  // namespace rig
