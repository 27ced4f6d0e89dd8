// What a failed connection says, told by the server's SQLSTATE and libpq's
// state on a server that speaks German and TLS; and the zone a rig's times
// are stored in.
#include <gtest/gtest.h>
#include <libpq-fe.h>

#include <QProcess>
#include <QTimeZone>

#include "lab/LabAdmin.h"
#include "lab/LabConnection.h"
#include "lab/LabOutbox.h"
#include "lab/LabSearch.h"
#include "lab/LabServer.h"
#include "lab/LabTestData.h"
#include "support/TempDir.h"

using namespace rig;
using namespace rig::lab;

TEST(LabConnect, EachProblemIsToldByItsCodeWhateverLanguageTheServerSpeaks) {
  rigtest::LabServerProcess server({QStringLiteral("--ssl"), QStringLiteral("--messages"), QStringLiteral("de")});
  ASSERT_GT(server.Info().Port, 0);
  const LabSettings s = rigtest::FreshLabDatabase(server.Info());
  rigtest::TempDir dir;
  {
    // The words are German indeed: reading them would not do.
    const QByteArray info = "host=127.0.0.1 dbname=nope user=rig port=" + QByteArray::number(s.Port) +
                            " passfile=" + s.PassFile.toUtf8();
    PGconn* raw = PQconnectdb(info.constData());
    EXPECT_TRUE(QString::fromUtf8(PQerrorMessage(raw)).contains(QStringLiteral("existiert nicht"))) << PQerrorMessage(raw);
    PQfinish(raw);
  }
  LabSettings wrong = s;
  wrong.PassFile = dir.Path() + QStringLiteral("wrong.pgpass");
  ASSERT_TRUE(WritePasswordFile(wrong.PassFile, wrong, QStringLiteral("not-it")));
  // A login the database does not let in (no CONNECT for PUBLIC).
  const QString outsider = QStringLiteral("outsider_%1").arg(s.Port);
  const QString outsiderPassword = NewPassword();
  rigtest::LabScalar(s, QStringLiteral("CREATE ROLE %1 LOGIN PASSWORD '%2'").arg(outsider, outsiderPassword));
  rigtest::LabScalar(s, QStringLiteral("REVOKE CONNECT ON DATABASE %1 FROM PUBLIC").arg(s.Database));
  LabSettings stranger = rigtest::AsLogin(s, outsider, dir.Path() + QStringLiteral("outsider.pgpass"));
  ASSERT_TRUE(WritePasswordFile(stranger.PassFile, stranger, outsiderPassword));
  const QString otherCa = dir.Path() + QStringLiteral("other.crt");
  ASSERT_EQ(QProcess::execute(QStringLiteral("openssl"),
                              {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1", "-subj", "/CN=other",
                               "-keyout", dir.Path() + "other.key", "-out", otherCa}),
            0);

  struct Case {
    const char* Name;
    std::function<void(LabSettings&)> Change;
    QString Expected;  // empty: connects
  } cases[] = {
      {"wrong password", [&](LabSettings& c) { c.PassFile = wrong.PassFile; }, QStringLiteral("登录被拒绝（用户 rig）")},
      {"no password", [&](LabSettings& c) { c.PassFile = dir.Path() + "none"; }, QStringLiteral("登录被拒绝（用户 rig）")},
      {"no database", [](LabSettings& c) { c.Database = "nope"; }, QStringLiteral("数据库不存在（nope）")},
      {"no right", [&](LabSettings& c) { c = stranger; },
       QStringLiteral("无权连接数据库（用户 %1，数据库 %2）").arg(outsider, s.Database)},
      {"nobody there", [](LabSettings& c) { c.Port = 1; }, QStringLiteral("服务器无法访问（127.0.0.1:1）")},
      {"encrypted, unchecked", [](LabSettings& c) { c.SslMode = "require"; }, QString()},
      {"checked with its CA",
       [&](LabSettings& c) {
         c.SslMode = "verify-full";
         c.SslRootCert = server.Info().SslRootCert;
       },
       QString()},
      {"root certificate missing",
       [&](LabSettings& c) {
         c.SslMode = "verify-full";
         c.SslRootCert = dir.Path() + "missing.crt";
       },
       QStringLiteral("无法验证服务器证书：根证书文件不存在或无法读取（%1missing.crt）").arg(dir.Path())},
      {"another CA",
       [&](LabSettings& c) {
         c.SslMode = "verify-full";
         c.SslRootCert = otherCa;
       },
       QStringLiteral("服务器证书未通过验证（根证书 %1，服务器 127.0.0.1）").arg(otherCa)},
  };
  for (const Case& c : cases) {
    LabSettings attempt = s;
    c.Change(attempt);
    QString words;
    bool encrypted = false;
    try {
      LabConnection connection(attempt);
      encrypted = PQsslInUse(connection.Handle()) == 1;
    } catch (const LabError& e) {
      words = e.Words();
    }
    EXPECT_EQ(words, c.Expected) << c.Name;
    if (c.Expected.isEmpty()) {
      EXPECT_TRUE(encrypted) << c.Name;
    }
  }
}

TEST(LabConnect, ARigInAnyZoneStoresTheInstantAndTheSearchShowsItInLocalTime) {
  struct Case {
    const char* Zone;      // the rig's
    const char* Start;     // as its outbox holds it
    const char* StoredUtc;
  } cases[] = {
      {"Asia/Shanghai", "2026-03-14 08:30:00", "2026-03-14 00:30:00"},  // an older outbox: the rig's zone
      {"America/New_York", "2026-03-14 08:30:00", "2026-03-14 12:30:00"},  // summer time since 8 March
      {"America/New_York", "2026-03-14 08:30:00+05:30", "2026-03-14 03:00:00"},  // its own offset wins
  };
  for (const Case& c : cases) {
    const LabSettings s = rigtest::FreshLabDatabase(rigtest::SharedLabServer());
    rigtest::TempDir dir;
    SaveLabSettings(dir.Path(), s);
    const SaveOutcome out{true, {}, QStringLiteral("/d/1.db"), 1};
    LabTestRecord r = MakeLabRecord(s.RigName, {rigtest::LabSample(), {}, out, rigtest::LabActions(2)}, c.Start);
    r.StartTime = QString::fromLatin1(c.Start);
    LabOutbox(LabOutbox::PathIn(dir.Path())).Add(r);
    QProcess upload;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TZ"), QLatin1String(c.Zone));
    upload.setProcessEnvironment(env);
    upload.start(QStringLiteral(RIG_BIN_DIR "/lab-upload"), {dir.Path()});
    ASSERT_TRUE(upload.waitForFinished(30000));
    ASSERT_EQ(upload.exitCode(), 0) << upload.readAllStandardError().toStdString();

    EXPECT_EQ(rigtest::LabScalar(s, "SELECT to_char(start_time AT TIME ZONE 'UTC', 'YYYY-MM-DD HH24:MI:SS') FROM lab_tests"),
              QLatin1String(c.StoredUtc))
        << c.Zone << " " << c.Start;
    LabSearchFilter f;
    f.Base.From = QDate(2026, 3, 13);
    f.Base.To = QDate(2026, 3, 15);
    const LabSearchResult found = SearchLabTests(s, f);
    ASSERT_EQ(found.Rows.size(), 1u);
    QDateTime instant = QDateTime::fromString(QLatin1String(c.StoredUtc), "yyyy-MM-dd HH:mm:ss");
    instant.setTimeSpec(Qt::UTC);
    EXPECT_EQ(found.Rows[0].StartTestTime, instant.toLocalTime().toString("yyyy-MM-dd HH:mm:ss")) << c.Zone;
  }
}
