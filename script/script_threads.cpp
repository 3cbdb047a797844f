// Script threads: creation, start, resume and removal, the per-frame step of
// a script, and events delivered to its listener on thread 0.
#include <algorithm>
#include <utility>

#include "framework/log/log.h"
#include "framework/state/state.h"
#include "framework/utilities/utilities.h"
#include "platform/platform.h"
#include "script/script_internal.h"

namespace {

// Milliseconds between two animation steps of a script.
constexpr uint32_t kAnimateInterval = 33;

ScriptThread* EventThread(int32_t script) {
  Script* found = ScriptFind(script);
  return found != nullptr && !found->threads.empty() ? &found->threads[0] : nullptr;
}

// Resumes the threads after thread 0 in order. A thread that is suspended
// afterwards waits for the next frame; one that is not has ended and goes,
// and the next thread moves into its place. Threads forked meanwhile are
// appended and so resumed in the same pass.
void ProcessThreads(int32_t scriptId) {
  size_t i = 1;
  for (;;) {
    Script* script = ScriptFind(scriptId);
    if (script == nullptr || i >= script->threads.size()) {
      return;
    }
    const int32_t threadId = script->threads[i].id;
    ScriptThreadResume(scriptId, threadId);
    script = ScriptFind(scriptId);
    if (script == nullptr) {
      return;
    }
    const int32_t index = ScriptThreadIndex(*script, threadId, static_cast<int32_t>(i));
    if (index < 0) {
      continue;  // already removed by what it ran; the next one took its place
    }
    i = static_cast<size_t>(index);
    if (script->threads[i].suspended != 0) {
      ++i;
    } else {
      ScriptThreadRemove(*script, index);
    }
  }
}

// Pops the two arguments of a listener call (as many as there are).
void PopListenerArguments(ScriptThread& thread) {
  thread.stack.resize(thread.stack.size() - std::min<size_t>(2, thread.stack.size()));
}

}  // namespace

int32_t ScriptThreadNew(Script& script) {
  ScriptThread thread;
  thread.id = ScriptNextThreadId();
  script.threads.push_back(std::move(thread));
  return static_cast<int32_t>(script.threads.size()) - 1;
}

int32_t ScriptThreadIndex(const Script& script, int32_t threadId, int32_t hint) {
  const auto count = static_cast<int32_t>(script.threads.size());
  if (threadId == -1) {
    return count > 0 ? 0 : -1;
  }
  if (hint >= 0 && hint < count && script.threads[static_cast<size_t>(hint)].id == threadId) {
    return hint;
  }
  for (int32_t i = 0; i < count; ++i) {
    if (script.threads[static_cast<size_t>(i)].id == threadId) {
      return i;
    }
  }
  return -1;
}

void ScriptThreadStart(Script& script, int32_t thread, int32_t address) {
  if (thread < 0 || thread >= static_cast<int32_t>(script.threads.size())) {
    return;
  }
  ScriptThread& started = script.threads[static_cast<size_t>(thread)];
  if (started.suspended != 0) {
    return;
  }
  started.frameBase = static_cast<int32_t>(started.stack.size());
  ScriptThreadRun(script, thread, address, RunData{});
}

void ScriptThreadResume(int32_t script, int32_t thread) {
  if (StateIsPaused()) {
    return;
  }
  Script* found = ScriptFind(script);
  const int32_t index = found != nullptr ? ScriptThreadIndex(*found, thread) : -1;
  if (index < 0) {
    return;
  }
  ScriptThread& resumed = found->threads[static_cast<size_t>(index)];
  if (resumed.suspended == 0) {
    return;
  }
  resumed.suspended = 0;
  RunData runData = std::exchange(resumed.savedRunData, RunData{});
  ScriptThreadRun(*found, index, resumed.savedPc, std::move(runData));
  // A listener that waited has now finished: its arguments go.
  ScriptThread* eventThread = index == 0 ? EventThread(script) : nullptr;
  if (eventThread != nullptr && eventThread->suspended == 0 &&
      std::exchange(eventThread->listenerArgumentsPending, 0) != 0) {
    PopListenerArguments(*eventThread);
  }
}

void ScriptThreadRemove(Script& script, int32_t thread) {
  if (thread > 0 && thread < static_cast<int32_t>(script.threads.size())) {
    script.threads.erase(script.threads.begin() + thread);
  }
}

void ScriptProcess(int32_t script) {
  Script* found = ScriptFind(script);
  if (found == nullptr || found->threads.empty()) {
    return;
  }
  if (found->threads[0].suspended != 0) {
    ScriptThreadResume(script, -1);
    return;
  }
  if (!StateIsPaused()) {
    const uint32_t now = PlatformTickCount();
    if (now > found->nextAnimateTick) {
      found->nextAnimateTick = now + kAnimateInterval;
      ScriptAnimateObjects(*found);
    }
  }
  // The animation step's listener calls may have closed the script.
  found = ScriptFind(script);
  if (found != nullptr) {
    ScriptPointerUpdate(*found);
  }
  if (!StateIsPaused() && ScriptFind(script) != nullptr) {
    ProcessThreads(script);
  }
}

void ScriptListenerCall(Script& script, int32_t code, const std::string& name) {
  if (script.listenerEnabled != 1 || script.threads.empty() || script.threads[0].suspended != 0) {
    return;
  }
  const int32_t id = script.id;
  std::vector<Parameter>& stack = script.threads[0].stack;
  stack.push_back(ScriptStringValue(name));
  stack.push_back(ScriptIntValue(code));
  ScriptThreadStart(script, 0, script.listenerAddress);
  // A listener that yielded keeps its arguments until it finishes.
  ScriptThread* thread = EventThread(id);
  if (thread == nullptr) {
    return;
  }
  if (thread->suspended != 0) {
    thread->listenerArgumentsPending = 1;
  } else {
    PopListenerArguments(*thread);
  }
}

void ScriptEventSend(int32_t script, int32_t code, const std::string& name) {
  ScriptEventSendExact(script, code, UtilitiesUpperCase(name));
}

void ScriptEventSendExact(int32_t script, int32_t code, const std::string& name) {
  const ScriptThread* thread = EventThread(script);
  if (thread != nullptr && thread->suspended == 0 && thread->running == 0) {
    ScriptListenerCall(*ScriptFind(script), code, name);
  }
}

bool ScriptIsWaiting(int32_t script) {
  const ScriptThread* thread = EventThread(script);
  return thread != nullptr && thread->suspended != 0;
}

bool ScriptIsRunning(int32_t script) {
  const ScriptThread* thread = EventThread(script);
  return thread != nullptr && thread->running != 0;
}

void ScriptThreadDump(int32_t script) {
  const auto& table = ScriptTable();
  const auto found = std::find_if(table.begin(), table.end(),
                                  [script](const auto& entry) { return entry->id == script; });
  if (found == table.end()) {
    return;
  }
  LogMessage("Script Index: " + std::to_string(found - table.begin()));
  LogMessage("Script ID: " + std::to_string(script));
  const std::vector<ScriptThread>& threads = (*found)->threads;
  LogMessage("Thread Count: " + std::to_string(threads.size()));
  for (size_t i = 0; i < threads.size(); ++i) {
    LogMessage("  Thread Index: " + std::to_string(i));
    LogMessage("  Thread ID: " + std::to_string(threads[i].id));
    LogMessage(threads[i].suspended != 0 ? "  Thread Running: FALSE" : "  Thread Running: TRUE");
    const std::string position = ScriptDebugThreadPosition(**found, threads[i]);
    if (!position.empty()) {
      LogMessage("  Thread Position: " + position);
    }
  }
}
