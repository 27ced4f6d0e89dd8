#include "lab/LabUpload.h"

#include <libpq-fe.h>

#include <QDateTime>

#include "lab/LabConnection.h"

namespace rig::lab {
namespace {

constexpr qsizetype kCopyChunk = 512 * 1024;

// `failed`: the failed statement's result, for its SQLSTATE.
[[noreturn]] void Fail(LabConnection& c, const pg_result* failed = nullptr) {
  // A lost connection is the server gone, said as a failed connect says it.
  if (!c.Alive()) throw LabError(LostServerText(c.Settings()));
  throw StatementError(failed, c.LastError());
}

void SendActions(LabConnection& c, const LabTestRecord& r, const UploadHook& hook) {
  PgResult start(PQexec(c.Handle(),
                        "COPY lab_actions(test_id, seq, deal_times, cz_deal_times, state1, state2, state3, mark1, "
                        "mark2, mark3) FROM STDIN"));
  if (PQresultStatus(start.get()) != PGRES_COPY_IN) Fail(c, start.get());
  const QByteArray prefix = r.TestId.toLatin1() + '\t';
  const QByteArray& lines = r.ActionLines;
  QByteArray chunk;
  chunk.reserve(kCopyChunk + 4096);
  bool halfReported = false;
  qsizetype pos = 0;
  while (pos < lines.size()) {
    qsizetype end = lines.indexOf('\n', pos);
    end = end < 0 ? lines.size() : end + 1;
    chunk += prefix;
    chunk.append(lines.constData() + pos, end - pos);
    pos = end;
    if (chunk.size() >= kCopyChunk || pos >= lines.size()) {
      if (PQputCopyData(c.Handle(), chunk.constData(), static_cast<int>(chunk.size())) != 1) Fail(c);
      chunk.clear();
      if (hook && !halfReported && pos * 2 >= lines.size()) {
        halfReported = true;
        hook(UploadStage::ActionsHalfSent);
      }
    }
  }
  if (PQputCopyEnd(c.Handle(), nullptr) != 1) Fail(c);
  PgResult failed;
  while (PGresult* res = PQgetResult(c.Handle())) {
    if (PQresultStatus(res) != PGRES_COMMAND_OK && !failed) failed.reset(res);
    else PQclear(res);
  }
  if (failed) Fail(c, failed.get());
}

// A time with its offset, whether or not the outbox had it (an older
// program wrote local times without); empty stays empty.
QByteArray Zoned(const QString& text) {
  const QDateTime t = ParseLabTime(text);
  return t.isValid() ? ZonedTimeText(t).toUtf8() : text.toUtf8();
}

}  // namespace

bool UploadTest(LabConnection& c, const LabTestRecord& r, const UploadHook& hook) {
  c.Exec("BEGIN");
  try {
    std::vector<QByteArray> texts = {r.TestId.toLatin1(),
                                     r.RigName.toUtf8(),
                                     QByteArray::number(static_cast<qlonglong>(r.LocalId)),
                                     QByteArray::number(r.Station),
                                     r.OpenType.toUtf8(),
                                     r.OutIndex.toUtf8(),
                                     r.WorkArea.toUtf8(),
                                     r.WorkName.toUtf8(),
                                     Zoned(r.StartTime),
                                     Zoned(r.EndTime),
                                     QByteArray::number(r.Mode)};
    for (int p : r.Params) texts.push_back(QByteArray::number(p));
    texts.push_back(QByteArray::number(r.CountDone));
    texts.push_back(r.IgnoreRefusals ? "true" : "false");
    texts.push_back(r.DetailName.toUtf8());
    texts.push_back(QByteArray::number(static_cast<qlonglong>(r.ActionCount)));
    texts.push_back(Zoned(r.SavedAt));
    auto array = [](const std::array<int, 3>& n) { return QStringLiteral("{%1,%2,%3}").arg(n[0]).arg(n[1]).arg(n[2]).toLatin1(); };
    texts.push_back(array(r.RefusedClosings));
    texts.push_back(array(r.RefusedOpenings));
    texts.push_back(r.RefusalsFoundBy.toUtf8());
    std::vector<const char*> values;
    for (size_t i = 0; i < texts.size(); ++i) {
      const bool time = i == 8 || i == 9;  // an empty start or end time is no time
      values.push_back(time && texts[i].isEmpty() ? nullptr : texts[i].constData());
    }
    PgResult inserted(PQexecParams(
        c.Handle(),
        "INSERT INTO lab_tests(test_id, rig_name, local_id, station, open_type, out_index, work_area, work_name, "
        "start_time, end_time, mode, param1, param2, param3, param4, param5, count_done, ignore_refusals, "
        "detail_name, action_count, saved_at, refused_closings, refused_openings, refusals_found_by) "
        "VALUES ($1,$2,$3,$4,$5,$6,$7,$8,$9,$10,$11,$12,$13,$14,$15,$16,$17,$18,$19,$20,$21,$22,$23,$24) "
        // Either key: the same test id, or the rig's test number already
        // there (the test sent by reconciling as well as by its save).
        "ON CONFLICT DO NOTHING RETURNING 1",
        static_cast<int>(values.size()), nullptr, values.data(), nullptr, nullptr, 0));
    if (PQresultStatus(inserted.get()) != PGRES_TUPLES_OK) Fail(c, inserted.get());
    const bool fresh = PQntuples(inserted.get()) == 1;
    if (fresh) {
      if (hook) hook(UploadStage::SummaryInserted);
      SendActions(c, r, hook);
    }
    PgResult commit(PQexec(c.Handle(), "COMMIT"));
    // An aborted transaction answers COMMIT with "ROLLBACK".
    if (PQresultStatus(commit.get()) != PGRES_COMMAND_OK || QByteArray(PQcmdStatus(commit.get())) != "COMMIT")
      Fail(c, commit.get());
    return fresh;
  } catch (...) {
    if (PQstatus(c.Handle()) == CONNECTION_OK && PQtransactionStatus(c.Handle()) != PQTRANS_IDLE)
      PQclear(PQexec(c.Handle(), "ROLLBACK"));
    throw;
  }
}

}  // namespace rig::lab
