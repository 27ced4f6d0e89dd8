// The dashboard pack (dashboards/grafana) against the lab database: every
// panel's SQL reads only the views made for it and runs, with the rights of
// the read-only role, on a database with data; and the views say what
// happened.
#include <gtest/gtest.h>
#include <libpq-fe.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>

#include "lab/LabConnection.h"
#include "lab/LabSchema.h"
#include "lab/LabServer.h"
#include "lab/LabTestData.h"
#include "lab/LabUpload.h"

using namespace rig;
using namespace rig::lab;

namespace {

const QString kPack = QStringLiteral(RIG_SOURCE_DIR "/dashboards/grafana/");

struct Panel {
  QString Where;  // file and title, for messages
  QString DataSource;
  QStringList Sql;
};

void CollectPanels(const QJsonArray& panels, const QString& file, std::vector<Panel>* out) {
  for (const QJsonValue& v : panels) {
    const QJsonObject p = v.toObject();
    CollectPanels(p.value(QStringLiteral("panels")).toArray(), file, out);  // a row's panels
    if (p.value(QStringLiteral("type")).toString() == QStringLiteral("row")) continue;
    Panel panel{file + QStringLiteral(": ") + p.value(QStringLiteral("title")).toString(),
                p.value(QStringLiteral("datasource")).toObject().value(QStringLiteral("uid")).toString(), {}};
    for (const QJsonValue& t : p.value(QStringLiteral("targets")).toArray())
      panel.Sql << t.toObject().value(QStringLiteral("rawSql")).toString();
    out->push_back(panel);
  }
}

// Grafana's macros as a plain condition: the last twenty years.
QString WithoutMacros(QString sql) {
  static const QRegularExpression timeFilter(QStringLiteral("\\$__timeFilter\\(([^)]+)\\)"));
  return sql.replace(timeFilter, QStringLiteral("\\1 BETWEEN now() - interval '20 years' AND now()"));
}

class LabDashboardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    settings_ = rigtest::FreshLabDatabase(rigtest::SharedLabServer());
    c_ = std::make_unique<LabConnection>(settings_);
    // The role is the server's, shared by its databases; step 5 grants to it.
    c_->Exec(
        "DO $$ BEGIN IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'lab_viewer') THEN "
        "CREATE ROLE lab_viewer NOLOGIN; END IF; END $$");
    EnsureLabSchema(*c_);
    // Two tests of 一号台 on one day, one of 二号台 a day later, of two models.
    Upload("一号台", u"ZW32-12真空断路器", QDateTime(QDate(2026, 3, 2), QTime(9, 0)), 4);
    Upload("一号台", u"ZW32-12真空断路器", QDateTime(QDate(2026, 3, 2), QTime(15, 0)), 6);
    Upload("二号台", u"LW36-126六氟化硫断路器", QDateTime(QDate(2026, 3, 3), QTime(9, 0)), 8);
    c_->Exec(
        "UPDATE lab_tests SET refused_closings = CASE WHEN open_type LIKE 'ZW32%' THEN '{1,0,2}'::int[] ELSE '{0,0,0}' END, "
        "refused_openings = CASE WHEN open_type LIKE 'ZW32%' THEN '{0,1,0}'::int[] ELSE '{0,0,0}' END");
    // The rigs' live rows and events as the rigs send them.
    c_->Exec(
        "INSERT INTO lab_live(rig_name, station, updated_at, link, run_state, pending_uploads, aside_uploads) VALUES "
        "('一号台', 1, now() - interval '90 seconds', 'open', 'running', 3, 1), "
        "('一号台', 2, now() - interval '5 seconds', 'lost', 'idle', 3, 1), "
        "('二号台', 1, now(), 'open', 'idle', 0, 0)");
    c_->Exec(
        "INSERT INTO lab_events(event_id, rig_name, station, happened_at, kind, detail) VALUES "
        "(gen_random_uuid(), '一号台', 1, now() - interval '1 hour', 'refusal', 'B1 拒合 at 6527'), "
        "(gen_random_uuid(), '一号台', 1, now() - interval '2 minutes', 'line_lost', '串口断开'), "
        "(gen_random_uuid(), '一号台', 2, now() - interval '1 day', 'saved', ''), "
        "(gen_random_uuid(), '二号台', 2, now(), 'finished', '')");  // no live row: not listed
  }

  void Upload(const char* rig, const char16_t* model, const QDateTime& start, int actions) {
    TestSummary t = rigtest::LabSample(QString::fromUtf16(model), QStringLiteral("张三"), start);
    t.CountDone = actions / 2;
    const SaveOutcome out{true, {}, QStringLiteral("/d/x.db"), ++local_};
    UploadTest(*c_, MakeLabRecord(QString::fromUtf8(rig), {t, {300, 400, 500, 0, 0}, out, rigtest::LabActions(actions)},
                                  QStringLiteral("2026-04-02 10:00:00")));
  }

  // Every row of `sql`, cells joined by "|", rows by ";".
  QString Rows(const QString& sql) {
    PgResult r = c_->Query(sql.toUtf8().constData());
    QStringList rows;
    for (int i = 0; i < PQntuples(r.get()); ++i) {
      QStringList cells;
      for (int k = 0; k < PQnfields(r.get()); ++k) cells << QString::fromUtf8(PQgetvalue(r.get(), i, k));
      rows << cells.join(QLatin1Char('|'));
    }
    return rows.join(QLatin1Char(';'));
  }

  LabSettings settings_;
  std::unique_ptr<LabConnection> c_;
  int local_ = 0;
};

}  // namespace

TEST_F(LabDashboardTest, EveryPanelReadsOnlyTheViewsAndRunsAsTheReadOnlyRole) {
  QFile yaml(kPack + QStringLiteral("provisioning/datasources/rig-lab.yaml"));
  ASSERT_TRUE(yaml.open(QIODevice::ReadOnly));
  const QString source = QString::fromUtf8(yaml.readAll());
  const QString uid = QRegularExpression(QStringLiteral("\\buid:\\s*(\\S+)")).match(source).captured(1);
  ASSERT_FALSE(uid.isEmpty());

  const QStringList files = QDir(kPack + QStringLiteral("dashboards")).entryList({QStringLiteral("*.json")});
  ASSERT_EQ(files.size(), 4) << files.join(QLatin1Char(' ')).toStdString();
  std::vector<Panel> panels;
  for (const QString& name : files) {
    QFile f(kPack + QStringLiteral("dashboards/") + name);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(f.readAll(), &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << name.toStdString() << ": " << error.errorString().toStdString();
    EXPECT_FALSE(doc.object().value(QStringLiteral("uid")).toString().isEmpty()) << name.toStdString();
    CollectPanels(doc.object().value(QStringLiteral("panels")).toArray(), name, &panels);
  }

  const QStringList viewList = Rows(QStringLiteral("SELECT viewname FROM pg_views WHERE schemaname = 'public'")).split(';');
  const QSet<QString> views(viewList.begin(), viewList.end());
  ASSERT_EQ(views.size(), 4);
  QSet<QString> used;
  static const QRegularExpression named(QStringLiteral("\\b(?:FROM|JOIN)\\s+([A-Za-z_][A-Za-z0-9_.]*)"),
                                        QRegularExpression::CaseInsensitiveOption);
  c_->Exec("SET ROLE lab_viewer");  // the dashboards' rights: SELECT on the views, nothing else
  for (const Panel& p : panels) {
    SCOPED_TRACE(p.Where.toStdString());
    EXPECT_EQ(p.DataSource, uid);
    ASSERT_FALSE(p.Sql.isEmpty());
    for (const QString& sql : p.Sql) {
      for (auto it = named.globalMatch(sql); it.hasNext();) {
        const QString name = it.next().captured(1);
        EXPECT_TRUE(views.contains(name)) << name.toStdString() << " is not one of the dashboards' views";
        used << name;
      }
      const QString plain = WithoutMacros(sql);
      EXPECT_FALSE(plain.contains(QStringLiteral("$__"))) << "a Grafana macro this test does not know: " << sql.toStdString();
      PgResult r(PQexec(c_->Handle(), plain.toUtf8().constData()));
      ASSERT_EQ(PQresultStatus(r.get()), PGRES_TUPLES_OK) << PQresultErrorMessage(r.get()) << sql.toStdString();
      EXPECT_GT(PQntuples(r.get()), 0) << sql.toStdString();
    }
  }
  EXPECT_EQ(used, views) << "a view no panel reads";
  // The role reads no table itself.
  PgResult refused(PQexec(c_->Handle(), "SELECT count(*) FROM lab_tests"));
  EXPECT_EQ(PQresultStatus(refused.get()), PGRES_FATAL_ERROR);
  c_->Exec("RESET ROLE");
}

TEST_F(LabDashboardTest, TheViewsSayWhatTheRigsSent) {
  const struct {
    const char* What;
    const char* Sql;
    const char16_t* Expected;
  } cases[] = {
      {"each station with a live row, its latest event; a station without events has none",
       "SELECT rig_name, station, link, last_event, last_event_detail FROM lab_rigs_now ORDER BY 1, 2",
       u"一号台|1|open|line_lost|串口断开;一号台|2|lost|saved|;二号台|1|open||"},
      {"seconds since the rig last wrote its row",
       "SELECT seconds_since_update BETWEEN 89 AND 150 FROM lab_rigs_now WHERE rig_name = '一号台' AND station = 1",
       u"t"},
      {"a rig's outbox once, not once per station",
       "SELECT rig_name, pending_uploads, aside_uploads FROM lab_uploads_pending ORDER BY 1",
       u"一号台|3|1;二号台|0|0"},
      {"tests, actions and operations per day and rig",
       "SELECT to_char(day, 'YYYY-MM-DD'), rig_name, tests, actions, operations FROM lab_tests_per_day ORDER BY 1, 2",
       u"2026-03-02|一号台|2|10|5;2026-03-03|二号台|1|8|4"},
      {"refusals per model, the three breaks added up",
       "SELECT open_type, tests, tests_with_refusals, refused_closings, refused_openings FROM lab_refusals_per_model "
       "ORDER BY 1",
       u"LW36-126六氟化硫断路器|1|0|0|0;ZW32-12真空断路器|2|2|6|2"},
  };
  for (const auto& k : cases)
    EXPECT_EQ(Rows(QString::fromUtf8(k.Sql)).toStdString(), QString::fromUtf16(k.Expected).toStdString()) << k.What;
}
