#include "station/LeftoverRecovery.h"

#include "core/Notifier.h"
#include "core/RunLog.h"
#include "storage/JournalRecovery.h"

namespace rig {

void RecoverLeftoverTests(const QString& exeDir, INotifier& notifier, const QDateTime& now) {
  for (const LeftoverJournal& j : FindLeftoverJournals(exeDir)) {
    if (!j.Readable || j.ActionCount == 0) {  // nothing that could be lost
      WriteLog(QStringLiteral("没有动作记录的恢复日志已丢弃：") + j.Path);
      DiscardJournal(j);
      continue;
    }
    if (!notifier.Confirm(RecoveryQuestion(j))) {
      DiscardJournal(j);
      continue;
    }
    const SaveOutcome out = RecoverJournal(exeDir, j, now);
    notifier.Notice(out.Ok ? QStringLiteral("未保存的测试已恢复并保存。")
                           : QStringLiteral("恢复失败，下次启动时将再次询问。\n") + out.Error);
  }
}

}  // namespace rig
