// Script threads: creation, start, resume and removal.
#include "script/script_internal.h"

int32_t ScriptThreadNew(Script& script) {
  ScriptThread thread;
  thread.id = ScriptNextThreadId();
  script.threads.push_back(std::move(thread));
  return static_cast<int32_t>(script.threads.size()) - 1;
}
