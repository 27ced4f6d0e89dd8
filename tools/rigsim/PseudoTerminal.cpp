#include "PseudoTerminal.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <QFile>
#include <cstdio>
#include <cstring>

#include "serial/LineSettings.h"

namespace rig::sim {
namespace {

QString ErrorText(const char* what) { return QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(errno))); }

}  // namespace

bool TPseudoTerminal::Open(QString* error) {
  Close();
  const int fd = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    if (error) *error = ErrorText("posix_openpt");
    return false;
  }
  char name[128];
  if (grantpt(fd) != 0 || unlockpt(fd) != 0 || ptsname_r(fd, name, sizeof name) != 0) {
    if (error) *error = ErrorText("pseudo-terminal set-up");
    ::close(fd);
    return false;
  }
  // On Linux the master's termios are the slave's.
  termios t{};
  if (tcgetattr(fd, &t) == 0) {
    MakeRaw(t);
    tcsetattr(fd, TCSANOW, &t);
  }
  master_ = fd;
  slavePath_ = QString::fromLocal8Bit(name);
  return true;
}

void TPseudoTerminal::Close() {
  if (master_ >= 0) ::close(master_);
  master_ = -1;
  slavePath_.clear();
}

bool PointLink(const QString& linkPath, const QString& target, QString* error) {
  const QByteArray link = QFile::encodeName(linkPath);
  const QByteArray temp = link + ".new";
  ::unlink(temp.constData());
  if (::symlink(QFile::encodeName(target).constData(), temp.constData()) != 0 ||
      ::rename(temp.constData(), link.constData()) != 0) {
    if (error) *error = ErrorText(link.constData());
    ::unlink(temp.constData());
    return false;
  }
  return true;
}

}  // namespace rig::sim
