#pragma once
// Helpers for driving real windows offscreen.
#include <QApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace rigtest {

// Processes events until `done` holds or `timeoutMs` passes; true if it held.
inline bool WaitFor(const std::function<bool()>& done, int timeoutMs = 3000) {
  QElapsedTimer t;
  t.start();
  while (!done()) {
    if (t.elapsed() > timeoutMs) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return true;
}

// Runs `open`, which shows a modal window and returns when it closes; while
// that window is up, `inspect` gets it (and must close it). Returns the
// modal window as a guard that is null once it has been destroyed, and
// whether a modal window appeared at all.
struct ModalRun {
  bool appeared = false;
  QPointer<QWidget> window;
};

inline ModalRun RunModal(const std::function<void()>& open, const std::function<void(QWidget*)>& inspect,
                         int timeoutMs = 3000) {
  ModalRun run;
  QTimer poll;
  QElapsedTimer t;
  t.start();
  poll.setInterval(20);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (QWidget* w = QApplication::activeModalWidget()) {
      poll.stop();
      run.appeared = true;
      run.window = w;
      inspect(w);
      if (run.window && run.window->isVisible()) run.window->close();
    } else if (t.elapsed() > timeoutMs) {
      poll.stop();
    }
  });
  poll.start();
  open();
  return run;
}

}  // namespace rigtest
