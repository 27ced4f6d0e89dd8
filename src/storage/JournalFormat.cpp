#include "storage/JournalFormat.h"

#include <QBuffer>
#include <array>
#include <cstring>

#include "core/GbkText.h"

namespace rig {
namespace {

constexpr char kMagic[8] = {'R', 'I', 'G', 'J', 'R', 'N', 'L', '1'};
enum RecordType : uint8_t { kSummaryRecord = 1, kActionRecord = 2, kSavedAsRecord = 3 };
// Each mark is written with a one-byte length.
constexpr int kMaxMarkBytes = 255;

constexpr std::array<uint32_t, 256> MakeCrcTable() {
  std::array<uint32_t, 256> table{};
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[n] = c;
  }
  return table;
}
constexpr std::array<uint32_t, 256> kCrcTable = MakeCrcTable();

template <typename T>
void Put(QByteArray& out, T value) {
  using U = std::make_unsigned_t<T>;
  U u = static_cast<U>(value);
  for (size_t i = 0; i < sizeof(T); ++i) out.append(static_cast<char>((u >> (8 * i)) & 0xFF));
}

template <typename T>
T Get(const char* p) {
  using U = std::make_unsigned_t<T>;
  U u = 0;
  for (size_t i = 0; i < sizeof(T); ++i) u |= static_cast<U>(static_cast<uint8_t>(p[i])) << (8 * i);
  return static_cast<T>(u);
}

void PutText(QByteArray& out, const QString& text) {
  const QByteArray bytes = ToGbk(text);
  Put<uint32_t>(out, static_cast<uint32_t>(bytes.size()));
  out.append(bytes);
}

// Local wall-clock time, kept as the date and time the run saw, so recovery
// writes the same texts whatever the clock's zone is by then.
void PutTime(QByteArray& out, const QDateTime& t) {
  Put<int64_t>(out, t.isValid() ? t.date().toJulianDay() : INT64_MIN);
  Put<uint32_t>(out, t.isValid() ? static_cast<uint32_t>(t.time().msecsSinceStartOfDay()) : 0);
}

// The CRC of a record: run id, position and length seal the body in place.
uint32_t RecordCrc(uint64_t runId, uint32_t index, const char* body, uint32_t length) {
  char seal[16];
  for (int i = 0; i < 8; ++i) seal[i] = static_cast<char>((runId >> (8 * i)) & 0xFF);
  for (int i = 0; i < 4; ++i) seal[8 + i] = static_cast<char>((index >> (8 * i)) & 0xFF);
  for (int i = 0; i < 4; ++i) seal[12 + i] = static_cast<char>((length >> (8 * i)) & 0xFF);
  return Crc32(body, length, Crc32(seal, sizeof seal));
}

// Reads the fields of one body; any overrun marks it bad.
class BodyReader {
 public:
  BodyReader(const QByteArray& body) : p_(body.constData()), end_(body.constData() + body.size()) {}

  template <typename T>
  T Take() {
    if (end_ - p_ < static_cast<qsizetype>(sizeof(T))) {
      ok_ = false;
      return T{};
    }
    T v = Get<T>(p_);
    p_ += sizeof(T);
    return v;
  }
  QByteArray TakeBytes(uint32_t n) {
    if (static_cast<uint64_t>(end_ - p_) < n) {
      ok_ = false;
      return {};
    }
    QByteArray b(p_, n);
    p_ += n;
    return b;
  }
  QString TakeText() { return FromGbk(TakeBytes(Take<uint32_t>())); }
  QDateTime TakeTime() {
    const int64_t day = Take<int64_t>();
    const uint32_t ms = Take<uint32_t>();
    if (day == INT64_MIN) return {};
    if (ms >= 24u * 3600 * 1000) ok_ = false;
    return QDateTime(QDate::fromJulianDay(day), QTime::fromMSecsSinceStartOfDay(static_cast<int>(ms)));
  }
  // Every byte used and none missing.
  bool Done() const { return ok_ && p_ == end_; }

 private:
  const char* p_;
  const char* end_;
  bool ok_ = true;
};

bool DecodeSummary(const QByteArray& body, TestSummary* run) {
  BodyReader r(body);
  if (r.Take<uint8_t>() != kSummaryRecord) return false;
  run->Station = r.Take<uint8_t>();
  run->Mode = r.Take<int32_t>();
  run->CountDone = r.Take<int32_t>();
  run->IgnoreRefusals = r.Take<uint8_t>() != 0;
  run->StartTime = r.TakeTime();
  run->OpenType = r.TakeText();
  run->OutIndex = r.TakeText();
  run->WorkArea = r.TakeText();
  run->WorkName = r.TakeText();
  for (QString& p : run->ParamTexts) p = r.TakeText();
  return r.Done();
}

// Marks repeat ("拒合", "拒分", empty): decoded once and shared.
class MarkDecoder {
 public:
  QString Decode(const QByteArray& bytes) {
    if (bytes.isEmpty()) return {};
    auto it = seen_.constFind(bytes);
    if (it != seen_.constEnd()) return *it;
    if (seen_.size() > 64) seen_.clear();  // damage-free journals hold a handful
    return *seen_.insert(bytes, FromGbk(bytes));
  }

 private:
  QHash<QByteArray, QString> seen_;
};

bool DecodeAction(const QByteArray& body, MarkDecoder& marks, ActionRecord* a, QDateTime* when) {
  BodyReader r(body);
  if (r.Take<uint8_t>() != kActionRecord) return false;
  a->Count = r.Take<int32_t>();
  a->ActionNo = r.Take<int32_t>();
  const uint8_t closed = r.Take<uint8_t>();
  if (closed > 7) return false;
  for (int i = 0; i < kBreakCount; ++i) a->Closed[i] = (closed >> i) & 1;
  *when = r.TakeTime();
  for (QString& m : a->Marks) m = marks.Decode(r.TakeBytes(r.Take<uint8_t>()));
  return r.Done();
}

bool DecodeSavedAs(const QByteArray& body, QByteArray* detailKey) {
  BodyReader r(body);
  if (r.Take<uint8_t>() != kSavedAsRecord) return false;
  *detailKey = r.TakeBytes(r.Take<uint32_t>());
  return r.Done() && !detailKey->isEmpty();
}

}  // namespace

uint32_t Crc32(const char* data, qsizetype size, uint32_t crc) {
  crc = ~crc;
  for (qsizetype i = 0; i < size; ++i) crc = kCrcTable[(crc ^ static_cast<uint8_t>(data[i])) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

QByteArray JournalEncoder::FileHeader() const {
  QByteArray out(kMagic, sizeof kMagic);
  Put<uint64_t>(out, runId_);
  Put<uint32_t>(out, Crc32(out.constData(), out.size()));
  return out;
}

void JournalEncoder::Seal(QByteArray& out, qsizetype recordStart) {
  const uint32_t length = static_cast<uint32_t>(out.size() - recordStart - kJournalRecordHeadBytes);
  const char* body = out.constData() + recordStart + kJournalRecordHeadBytes;
  const uint32_t crc = RecordCrc(runId_, next_++, body, length);
  char* head = out.data() + recordStart;
  for (int i = 0; i < 4; ++i) head[i] = static_cast<char>((length >> (8 * i)) & 0xFF);
  for (int i = 0; i < 4; ++i) head[4 + i] = static_cast<char>((crc >> (8 * i)) & 0xFF);
}

void JournalEncoder::AppendSummary(QByteArray& out, const TestSummary& run) {
  const qsizetype start = out.size();
  out.append(kJournalRecordHeadBytes, '\0');
  Put<uint8_t>(out, kSummaryRecord);
  Put<uint8_t>(out, static_cast<uint8_t>(run.Station));
  Put<int32_t>(out, run.Mode);
  Put<int32_t>(out, run.CountDone);
  Put<uint8_t>(out, run.IgnoreRefusals ? 1 : 0);
  PutTime(out, run.StartTime);
  for (const QString* t : {&run.OpenType, &run.OutIndex, &run.WorkArea, &run.WorkName}) PutText(out, *t);
  for (const QString& p : run.ParamTexts) PutText(out, p);
  Seal(out, start);
}

const QByteArray& JournalEncoder::MarkBytes(const QString& mark) {
  auto it = marks_.constFind(mark);
  if (it != marks_.constEnd()) return *it;
  if (marks_.size() > 64) marks_.clear();
  return *marks_.insert(mark, ToGbkLimited(mark, kMaxMarkBytes));
}

void JournalEncoder::AppendAction(QByteArray& out, const ActionRecord& action, const QDateTime& when) {
  const qsizetype start = out.size();
  out.append(kJournalRecordHeadBytes, '\0');
  Put<uint8_t>(out, kActionRecord);
  Put<int32_t>(out, action.Count);
  Put<int32_t>(out, action.ActionNo);
  uint8_t closed = 0;
  for (int i = 0; i < kBreakCount; ++i)
    if (action.Closed[i]) closed |= uint8_t(1u << i);
  Put<uint8_t>(out, closed);
  PutTime(out, when);
  for (const QString& m : action.Marks) {
    if (m.isEmpty()) {
      Put<uint8_t>(out, 0);
      continue;
    }
    const QByteArray& bytes = MarkBytes(m);
    Put<uint8_t>(out, static_cast<uint8_t>(bytes.size()));
    out.append(bytes);
  }
  Seal(out, start);
}

void JournalEncoder::AppendSavedAs(QByteArray& out, const QByteArray& detailKey) {
  const qsizetype start = out.size();
  out.append(kJournalRecordHeadBytes, '\0');
  Put<uint8_t>(out, kSavedAsRecord);
  Put<uint32_t>(out, static_cast<uint32_t>(detailKey.size()));
  out.append(detailKey);
  Seal(out, start);
}

JournalScan ScanJournal(QIODevice& in, const JournalActionSink& onAction) {
  JournalScan scan;
  scan.TotalBytes = in.size() - in.pos();
  const QByteArray header = in.read(kJournalHeaderBytes);
  if (header.size() != kJournalHeaderBytes || std::memcmp(header.constData(), kMagic, sizeof kMagic) != 0 ||
      Get<uint32_t>(header.constData() + 16) != Crc32(header.constData(), 16))
    return scan;
  const uint64_t runId = Get<uint64_t>(header.constData() + 8);
  scan.RunId = runId;
  int64_t good = kJournalHeaderBytes;

  MarkDecoder marks;
  QByteArray body;
  for (uint32_t index = 0;; ++index) {
    const QByteArray head = in.read(kJournalRecordHeadBytes);
    if (head.size() != kJournalRecordHeadBytes) break;
    const uint32_t length = Get<uint32_t>(head.constData());
    if (length == 0 || length > kJournalMaxBodyBytes) break;
    body = in.read(length);
    if (body.size() != static_cast<qsizetype>(length)) break;
    if (Get<uint32_t>(head.constData() + 4) != RecordCrc(runId, index, body.constData(), length)) break;
    if (index == 0) {
      if (!DecodeSummary(body, &scan.Run)) break;
      scan.HasRun = true;
    } else if (static_cast<uint8_t>(body[0]) == kSavedAsRecord) {
      if (!DecodeSavedAs(body, &scan.SavedAs)) break;
    } else {
      ActionRecord action;
      QDateTime when;
      if (!DecodeAction(body, marks, &action, &when)) break;
      ++scan.ActionCount;
      scan.SavedAs.clear();
      scan.LastAction = action;
      scan.LastActionTime = when;
      if (onAction) onAction(std::move(action), when);
    }
    good += kJournalRecordHeadBytes + length;
    scan.Records = index + 1;
  }
  // A header without its summary holds nothing that can be saved.
  scan.GoodBytes = scan.HasRun ? good : 0;
  return scan;
}

JournalScan ScanJournal(const QByteArray& bytes, const JournalActionSink& onAction) {
  QByteArray copy = bytes;  // shared, not copied
  QBuffer buffer(&copy);
  buffer.open(QIODevice::ReadOnly);
  return ScanJournal(buffer, onAction);
}

}  // namespace rig
