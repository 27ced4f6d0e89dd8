#include <gtest/gtest.h>

#include <vector>

#include "core/GbkText.h"
#include "storage/JournalFormat.h"
#include "storage/JournalSamples.h"

using namespace rig;
using rigtest::SampleAction;
using rigtest::SampleRun;
using rigtest::SampleTime;

namespace {

struct Journal {
  QByteArray bytes;
  std::vector<qsizetype> recordStarts;  // [0] the summary, [i] action i
};

Journal Build(int actions, uint64_t runId = 0x1122334455667788u, const TestSummary& run = SampleRun()) {
  JournalEncoder enc(runId);
  Journal j;
  j.bytes = enc.FileHeader();
  j.recordStarts.push_back(j.bytes.size());
  enc.AppendSummary(j.bytes, run);
  for (int i = 1; i <= actions; ++i) {
    j.recordStarts.push_back(j.bytes.size());
    enc.AppendAction(j.bytes, SampleAction(i), SampleTime(i));
  }
  return j;
}

struct Read {
  JournalScan scan;
  std::vector<ActionRecord> actions;
  std::vector<QDateTime> times;
};

Read ReadBack(const QByteArray& bytes) {
  Read r;
  r.scan = ScanJournal(bytes, [&](ActionRecord&& a, const QDateTime& t) {
    r.actions.push_back(std::move(a));
    r.times.push_back(t);
  });
  return r;
}

// The first `count` sample actions, exactly, and nothing else.
void ExpectSampleActions(const Read& r, int count, const std::string& where) {
  SCOPED_TRACE(where);
  ASSERT_TRUE(r.scan.HasRun);
  ASSERT_EQ(r.scan.ActionCount, count);
  ASSERT_EQ(r.actions.size(), size_t(count));
  for (int i = 1; i <= count; ++i) {
    rigtest::ExpectSameAction(r.actions[i - 1], SampleAction(i));
    EXPECT_EQ(r.times[i - 1], SampleTime(i));
  }
}

}  // namespace

TEST(JournalFormat, Crc32IsTheStandardOne) {
  EXPECT_EQ(Crc32("123456789", 9), 0xCBF43926u);
  EXPECT_EQ(Crc32("", 0), 0u);
}

TEST(JournalFormat, RunAndActionsComeBackAsWritten) {
  TestSummary run = SampleRun(2);
  run.Mode = 20;
  run.CountDone = 1234;  // a resumed test starts from the controller's count
  run.IgnoreRefusals = true;
  run.StartTime = QDateTime(QDate(2026, 12, 7), QTime(23, 59, 59, 987));
  run.ParamTexts[3] = QString();  // an empty edit stays empty
  run.ParamTexts[4] = QStringLiteral("-0012");
  const QString unencodable = QStringLiteral("型号😀");  // GBK has no emoji
  run.WorkName = unencodable;

  JournalEncoder enc(42);
  QByteArray bytes = enc.FileHeader();
  enc.AppendSummary(bytes, run);
  std::vector<std::pair<ActionRecord, QDateTime>> written;
  ActionRecord extreme;
  extreme.Count = INT32_MAX;
  extreme.ActionNo = INT32_MIN;
  extreme.Closed[kBreakB1] = 200;  // any non-zero byte is closed
  extreme.Marks[kBreakB1] = QStringLiteral("拒分");
  written.emplace_back(extreme, QDateTime(QDate(2026, 12, 8), QTime(0, 0, 0, 1)));
  for (int i = 1; i <= 40; ++i) written.emplace_back(SampleAction(i), SampleTime(i));
  for (const auto& [a, t] : written) enc.AppendAction(bytes, a, t);

  const Read r = ReadBack(bytes);
  ASSERT_TRUE(r.scan.HasRun);
  EXPECT_EQ(r.scan.GoodBytes, bytes.size());
  EXPECT_EQ(r.scan.TotalBytes, bytes.size());
  EXPECT_EQ(r.scan.Run.Station, 2);
  EXPECT_EQ(r.scan.Run.Mode, 20);
  EXPECT_EQ(r.scan.Run.CountDone, 1234);
  EXPECT_TRUE(r.scan.Run.IgnoreRefusals);
  EXPECT_EQ(r.scan.Run.StartTime, run.StartTime);
  EXPECT_EQ(r.scan.Run.OpenType, run.OpenType);
  EXPECT_EQ(r.scan.Run.OutIndex, run.OutIndex);
  EXPECT_EQ(r.scan.Run.WorkArea, run.WorkArea);
  // What GBK cannot hold comes back as the save would have written it.
  EXPECT_EQ(r.scan.Run.WorkName, FromGbk(ToGbk(unencodable)));
  EXPECT_EQ(r.scan.Run.ParamTexts, run.ParamTexts);

  ASSERT_EQ(r.actions.size(), written.size());
  for (size_t i = 0; i < written.size(); ++i) {
    rigtest::ExpectSameAction(r.actions[i], written[i].first);
    EXPECT_EQ(r.times[i], written[i].second);
  }
  EXPECT_EQ(r.scan.ActionCount, 41);
  rigtest::ExpectSameAction(r.scan.LastAction, SampleAction(40));
  EXPECT_EQ(r.scan.LastActionTime, SampleTime(40));
}

TEST(JournalFormat, ATornLastRecordIsLeftOutAtEveryCut) {
  const Journal j = Build(6);
  const qsizetype last = j.recordStarts.back();
  for (qsizetype cut = last; cut < j.bytes.size(); ++cut) {
    const Read r = ReadBack(j.bytes.left(cut));
    ExpectSampleActions(r, 5, "cut at " + std::to_string(cut));
    EXPECT_EQ(r.scan.GoodBytes, last);
    EXPECT_EQ(r.scan.TotalBytes, cut);
  }
  ExpectSampleActions(ReadBack(j.bytes), 6, "whole");
}

TEST(JournalFormat, AnyDamagedByteOfTheLastRecordIsDetected) {
  const Journal j = Build(6);
  for (qsizetype pos = j.recordStarts.back(); pos < j.bytes.size(); ++pos) {
    for (uint8_t flip : {0x01, 0x10, 0x80, 0xFF}) {
      QByteArray damaged = j.bytes;
      damaged[pos] = char(damaged[pos] ^ flip);
      ExpectSampleActions(ReadBack(damaged), 5, "byte " + std::to_string(pos) + " ^ " + std::to_string(flip));
    }
  }
}

TEST(JournalFormat, ReadingStopsBeforeADamagedRecordInTheMiddle) {
  const Journal j = Build(10);
  for (int damagedAction : {1, 4, 9}) {
    QByteArray damaged = j.bytes;
    const qsizetype pos = j.recordStarts[damagedAction] + 12;  // inside the body
    damaged[pos] = char(damaged[pos] ^ 0x04);
    const Read r = ReadBack(damaged);
    ExpectSampleActions(r, damagedAction - 1, "action " + std::to_string(damagedAction));
    EXPECT_LT(r.scan.GoodBytes, r.scan.TotalBytes);
  }
}

TEST(JournalFormat, WithoutAWholeHeaderAndSummaryThereIsNoRun) {
  const Journal j = Build(2);
  const qsizetype summaryEnd = j.recordStarts[1];
  for (qsizetype cut = 0; cut < summaryEnd; ++cut) {
    const Read r = ReadBack(j.bytes.left(cut));
    EXPECT_FALSE(r.scan.HasRun) << cut;
    EXPECT_EQ(r.scan.ActionCount, 0) << cut;
    EXPECT_EQ(r.scan.GoodBytes, 0) << cut;
  }
  QByteArray notAJournal = j.bytes;
  notAJournal[0] = 'X';
  EXPECT_FALSE(ReadBack(notAJournal).scan.HasRun);
  QByteArray badHeader = j.bytes;
  badHeader[9] = char(badHeader[9] ^ 1);  // the run id no longer matches its CRC
  EXPECT_FALSE(ReadBack(badHeader).scan.HasRun);
  ExpectSampleActions(ReadBack(j.bytes.left(summaryEnd)), 0, "summary only");
}

TEST(JournalFormat, LeftoversOfAnotherRunOrRecordsOutOfPlaceAreNotRead) {
  const Journal mine = Build(3, 1);
  // An older journal's records in the blocks after ours (a power cut after
  // the file was reused), here with the same content and positions.
  const Journal older = Build(6, 2);
  QByteArray stale = mine.bytes + older.bytes.mid(older.recordStarts[4]);
  ExpectSampleActions(ReadBack(stale), 3, "stale records of another run");

  // Action 3 written twice, or actions swapped: the second copy is out of place.
  const Journal j = Build(4, 1);
  const QByteArray rec3 = j.bytes.mid(j.recordStarts[3], j.recordStarts[4] - j.recordStarts[3]);
  ExpectSampleActions(ReadBack(j.bytes.left(j.recordStarts[4]) + rec3), 3, "duplicate");
  const QByteArray rec4 = j.bytes.mid(j.recordStarts[4]);
  ExpectSampleActions(ReadBack(j.bytes.left(j.recordStarts[3]) + rec4 + rec3), 2, "swapped");
}

TEST(JournalFormat, ZerosAfterTheLastRecordAreIgnored) {
  // A file extended but never filled before the power went.
  const Journal j = Build(3);
  for (int zeros : {1, 8, 100, 4096}) {
    const Read r = ReadBack(j.bytes + QByteArray(zeros, '\0'));
    ExpectSampleActions(r, 3, std::to_string(zeros) + " zeros");
    EXPECT_EQ(r.scan.GoodBytes, j.bytes.size());
  }
}

TEST(JournalFormat, AnActionRecordIsSmall) {
  // 128,000 actions must stay a few megabytes on disk and in memory.
  const Journal j = Build(2);
  const qsizetype plain = j.recordStarts[2] - j.recordStarts[1];  // action 1: no marks
  EXPECT_LE(plain, 40);
}

TEST(JournalFormat, ASavedAsRecordNamesTheTestOnlyWhileNoActionFollowsIt) {
  // 'a' an action; a letter a save begun under that name.
  struct Case {
    const char* records;
    const char* savedAs;
  } cases[] = {
      {"aa", ""},     // a journal written before the record existed
      {"aaX", "X"},   // killed in a save
      {"aXa", ""},    // a save that failed, then the run went on
      {"aXaY", "Y"},  // and was saved again
      {"XY", "Y"},    // a save retried
  };
  const auto key = [](char name) { return QByteArray("/rig/20261207/20261207090000_1") + name + ".db"; };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.records);
    JournalEncoder enc(9);
    QByteArray bytes = enc.FileHeader();
    enc.AppendSummary(bytes, SampleRun());
    int actions = 0;
    for (const char* r = c.records; *r; ++r) {
      if (*r == 'a') {
        ++actions;
        enc.AppendAction(bytes, SampleAction(actions), SampleTime(actions));
      } else {
        enc.AppendSavedAs(bytes, key(*r));
      }
    }
    const Read r = ReadBack(bytes);
    ExpectSampleActions(r, actions, c.records);
    EXPECT_EQ(r.scan.SavedAs, *c.savedAs ? key(*c.savedAs) : QByteArray());
    EXPECT_EQ(r.scan.GoodBytes, bytes.size());

    // Appended later by another writer, continuing the file's records.
    JournalEncoder(r.scan.RunId, r.scan.Records).AppendSavedAs(bytes, key('Z'));
    const Read more = ReadBack(bytes);
    ExpectSampleActions(more, actions, "continued");
    EXPECT_EQ(more.scan.SavedAs, key('Z'));
  }
}
