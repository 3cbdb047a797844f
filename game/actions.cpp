// The pending actions: animations, speech lines, walks and sounds that a
// script thread started and may wait for with AppActionsDone. Actions are
// grouped by the (script, thread) that started them, in creation order.
#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "game/agents.h"
#include "game/game_internal.h"
#include "script/script.h"

namespace {

// The room script hears of a finished walk that names a routine.
constexpr int32_t kWalkDoneEvent = 10;

struct Action {
  int32_t id = 0;
  std::string agent;    // "SFX" for sounds
  std::string routine;  // walks only
  ActionKind kind = kActionAnimation;
};

struct ActionGroup {
  int32_t script = 0;
  int32_t thread = 0;
  std::vector<Action> actions;  // in creation order; never empty
};

struct ActionTable {
  std::vector<ActionGroup> groups;
  int32_t nextId = 1;  // ids are never reused within a game
};

ActionTable table;

std::vector<ActionGroup>::iterator FindGroup(int32_t script, int32_t thread) {
  return std::find_if(table.groups.begin(), table.groups.end(), [&](const ActionGroup& group) {
    return group.script == script && group.thread == thread;
  });
}

// Removes the actions that match from every group, and the groups left empty.
template <typename Match>
void RemoveActions(Match match) {
  for (ActionGroup& group : table.groups) {
    std::erase_if(group.actions, match);
  }
  std::erase_if(table.groups, [](const ActionGroup& group) { return group.actions.empty(); });
}

}  // namespace

ActionHandle ActionAdd(int32_t script, int32_t thread, const std::string& agent,
                       const std::string& routine, ActionKind kind) {
  auto group = FindGroup(script, thread);
  if (group == table.groups.end()) {
    table.groups.push_back(ActionGroup{script, thread, {}});
    group = table.groups.end() - 1;
  }
  const int32_t id = table.nextId++;
  group->actions.push_back(Action{id, agent, routine, kind});
  return ActionHandle{id, script, thread};
}

void ActionComplete(ActionHandle& handle) {
  if (handle.id == 0) {
    return;
  }
  const int32_t id = handle.id;
  // The handle is spent either way: an action that is gone (the room changed)
  // is not pending, and its id must not match a later one.
  handle = ActionHandle{};
  for (auto group = table.groups.begin(); group != table.groups.end(); ++group) {
    const auto found = std::find_if(group->actions.begin(), group->actions.end(),
                                    [id](const Action& action) { return action.id == id; });
    if (found == group->actions.end()) {
      continue;
    }
    const Action action = std::move(*found);
    group->actions.erase(found);
    if (group->actions.empty()) {
      table.groups.erase(group);
    }
    // Sent after the removal: the room script's handler may ask whether the
    // walker's thread is done, or start the next walk.
    if (action.kind == kActionWalk && !action.routine.empty()) {
      ScriptEventSend(RoomScriptId(), kWalkDoneEvent, action.routine);
    }
    return;
  }
}

bool ActionsDone(int32_t script, int32_t thread) {
  return FindGroup(script, thread) == table.groups.end();
}

void ActionRemoveWalks(const std::string& agent) {
  RemoveActions([&agent](const Action& action) {
    return action.kind == kActionWalk && action.agent == agent;
  });
}

void ActionRemoveThread(int32_t script, int32_t thread) {
  const auto group = FindGroup(script, thread);
  if (group != table.groups.end()) {
    table.groups.erase(group);
  }
}

void ActionClearAll() {
  table.groups.clear();
}

void ActionsReset() {
  table = ActionTable{};
}
