// 测试连接 answers for what the dialog shows at the press, within its bound,
// and a slow answer to an earlier press never takes the place of a later one.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

#include "lab/LabSettings.h"
#include "support/TempDir.h"
#include "ui/LabSettingsfrm.h"
#include "support/RecordingNotifier.h"

using namespace rig;

namespace {

// A port that accepts connections (the kernel completes them) and never says
// a word: the silent server of a wrong setting. Port 0 when none.
class SilentServer {
 public:
  SilentServer() {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t n = sizeof a;
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&a), n) == 0 && ::listen(fd_, 8) == 0 &&
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &n) == 0)
      port_ = ntohs(a.sin_port);
  }
  ~SilentServer() { ::close(fd_); }
  int Port() const { return port_; }

 private:
  int fd_ = -1;
  int port_ = 0;
};

// A loopback port nobody listens on.
int ClosedPort() {
  SilentServer taken;
  return taken.Port();  // free again once `taken` is gone
}

}  // namespace

TEST(LabSettingsDialog, EachPressTestsWhatTheDialogShowsAndALateAnswerIsNotShown) {
  rigtest::TempDir dir;
  lab::LabSettings s;
  s.Host = QStringLiteral("127.0.0.1");
  lab::SaveLabSettings(dir.Path(), s);
  rigtest::RecordingNotifier notifier;
  TfrmLabSettings dialog(dir.Path(), notifier);
  auto* port = dialog.findChild<QSpinBox*>(QStringLiteral("EdtPort"));
  auto* answer = dialog.findChild<QLabel*>(QStringLiteral("LblAnswer"));
  ASSERT_TRUE(port && answer);
  SilentServer silent;
  const int closed = ClosedPort();
  ASSERT_GT(silent.Port(), 0);

  // The silent port alone: given up within the bound, and said so.
  port->setValue(silent.Port());
  dialog.TestClick();
  const QString silentWords = QStringLiteral("服务器无法访问（127.0.0.1:%1）").arg(silent.Port());
  EXPECT_TRUE(QTest::qWaitFor([&] { return answer->text() == silentWords; }, 7000)) << answer->text().toStdString();

  // Pressed again on it, then put right and pressed: the second answer stays
  // after the first press's late one would have come.
  dialog.TestClick();
  port->setValue(closed);
  dialog.TestClick();
  const QString closedWords = QStringLiteral("服务器无法访问（127.0.0.1:%1）").arg(closed);
  EXPECT_TRUE(QTest::qWaitFor([&] { return answer->text() == closedWords; }, 3000)) << answer->text().toStdString();
  QTest::qWait(6000);
  EXPECT_EQ(answer->text(), closedWords);
}

TEST(LabSettingsDialog, EncryptionChoiceAndRootCertificateGoToConfigIniAndComeBack) {
  rigtest::TempDir dir;
  rigtest::RecordingNotifier notifier;
  for (int i = 0; i < 4; ++i) {
    {
      TfrmLabSettings dialog(dir.Path(), notifier);
      auto* mode = dialog.findChild<QComboBox*>(QStringLiteral("CBoxSslMode"));
      auto* cert = dialog.findChild<QLineEdit*>(QStringLiteral("EdtSslRootCert"));
      ASSERT_TRUE(mode && cert);
      mode->setCurrentIndex(i);
      cert->setText(QStringLiteral("/etc/lab/根证书%1.crt").arg(i));
      dialog.SaveClick();
    }
    const lab::LabSettings saved = lab::LoadLabSettings(dir.Path());
    EXPECT_EQ(saved.SslMode, QLatin1String(lab::kSslModes[i]));
    EXPECT_EQ(saved.SslRootCert, QStringLiteral("/etc/lab/根证书%1.crt").arg(i));
    TfrmLabSettings again(dir.Path(), notifier);
    EXPECT_EQ(again.findChild<QComboBox*>(QStringLiteral("CBoxSslMode"))->currentIndex(), i);
  }
  EXPECT_TRUE(notifier.notices.empty());
}
