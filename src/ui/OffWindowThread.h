#pragma once
// Work that talks to the network runs on a thread of its own; its result
// comes back to the window thread, to `receiver` if it still exists.
#include <QCoreApplication>
#include <QPointer>
#include <functional>
#include <thread>

namespace rig {

template <typename Result>
void RunOffWindowThread(QObject* receiver, std::function<Result()> work, std::function<void(Result)> done) {
  QPointer<QObject> guard(receiver);
  std::thread([guard, work = std::move(work), done = std::move(done)]() mutable {
    Result result = work();
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) return;  // the program has ended meanwhile
    QMetaObject::invokeMethod(
        app, [guard, done = std::move(done), result = std::move(result)]() mutable {
          if (guard) done(std::move(result));
        },
        Qt::QueuedConnection);
  }).detach();
}

}  // namespace rig
