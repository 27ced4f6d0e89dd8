#pragma once
// At start-up, before any station's link opens: the tests the last run left
// unsaved in recovery journals, offered to the operator one by one.
#include <QDateTime>
#include <QString>

namespace rig {

class INotifier;

// A journal without an action is dropped (logged); for every other the
// operator is asked: OK saves it as a normal test (and says how that went),
// Cancel drops it. `now` names the day folder of what is saved.
void RecoverLeftoverTests(const QString& exeDir, INotifier& notifier,
                          const QDateTime& now = QDateTime::currentDateTime());

}  // namespace rig
