#pragma once
// Waiting on a condition with a bound, processing the test thread's events
// meanwhile (QTRY_VERIFY style), instead of sleeping for a guessed time.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <chrono>
#include <thread>

namespace rigtest {

template <typename Condition>
bool WaitFor(Condition condition, int timeoutMs = 5000) {
  QElapsedTimer timer;
  timer.start();
  while (!condition()) {
    if (timer.elapsed() > timeoutMs) return condition();
    QCoreApplication::processEvents();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

}  // namespace rigtest
