// Holds a serial port or a database the way another program would, until its
// standard input closes. For tests of what the operator is told when a port
// or a database is taken by someone else.
//   lock-holder port DEVICE      the port opened exclusively, as a second copy
//                                of the program opens it
//   lock-holder database FILE    an exclusive transaction on an SQLite file
// Prints "held" once it holds the lock; exits with 1 and a message when it
// cannot take it.
#include <cstdio>
#include <cstring>

#include <QString>

#include "serial/CommPort.h"
#include "storage/SQLite3.h"

namespace {

void WaitForEndOfInput() {
  while (std::getchar() != EOF) {
  }
}

void Held() {
  std::puts("held");
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: lock-holder port DEVICE | lock-holder database FILE\n");
    return 2;
  }
  if (std::strcmp(argv[1], "port") == 0) {
    rig::TCommPort port;
    const rig::PortHandle handle = port.OpenPort(QString::fromLocal8Bit(argv[2]), 9600, 8, 0, 0, 0);
    if (handle == rig::kNoHandle) {
      std::fprintf(stderr, "cannot open %s\n", argv[2]);
      return 1;
    }
    Held();
    WaitForEndOfInput();
    port.ClosePort(handle);
    return 0;
  }
  if (std::strcmp(argv[1], "database") == 0) {
    try {
      rig::TSQLiteDatabase db{QByteArray(argv[2])};
      db.RunSQL("BEGIN EXCLUSIVE");
      Held();
      WaitForEndOfInput();
      db.RunSQL("ROLLBACK");
    } catch (const rig::ESQLiteException& e) {
      std::fprintf(stderr, "%s\n", e.what());
      return 1;
    }
    return 0;
  }
  std::fprintf(stderr, "unknown lock: %s\n", argv[1]);
  return 2;
}
