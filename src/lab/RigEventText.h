#pragma once
// An event's names and words: the lab database's kind names, the Chinese
// the group chats read, and the JSON the outbox keeps (and a generic
// webhook receives).
#include <QByteArray>
#include <QString>
#include <optional>

#include "core/RigEvent.h"

namespace rig::lab {

// "refusal", "silent", "line_lost", "finished", "saved", "save_failed".
QString KindName(RigEventKind kind);
std::optional<RigEventKind> KindFromName(const QString& name);
// "拒动作", "控制器无响应", "线路中断", "测试结束", "测试已保存", "保存失败".
QString KindWords(RigEventKind kind);

// One line for people: "一号台 工位1 12-07 18:31 拒动作：B1拒合（第6527次）".
QString EventLine(const RigEvent& event);

// The event as a JSON object (event_id, rig_name, station, happened_at in
// ISO 8601 with offset, kind, test_id, detail), and back.
QByteArray EventJson(const RigEvent& event);
std::optional<RigEvent> EventFromJson(const QByteArray& json);

}  // namespace rig::lab
