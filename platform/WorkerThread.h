#pragma once

#include <functional>
#include <memory>
#include <string>

namespace tev {

// Windows-style thread priorities, as the engine's thread table names them.
enum ThreadPriority : int {
    kPriorityBelowNormal = -1,
    kPriorityNormal = 0,
    kPriorityAboveNormal = 1,
    kPriorityHighest = 2,
    kPriorityTimeCritical = 15,
};

// A detached worker thread with a name and a priority. The engine's threads signal their end
// through events, never through join, so a thread still blocked at exit never holds the process.
// Priorities are best effort: an unprivileged user may lower a thread's priority but not raise it.
class WorkerThread {
  public:
    WorkerThread() = default;

    // [any thread] Starts body on a new thread. The name is cut to the 15 characters Linux keeps.
    static WorkerThread Start(const std::string& name, int priority, std::function<void()> body);

    // [any thread] Changes the thread's priority; false when the system refused it or no thread
    // was started. Safe before the thread has begun running and after it has ended.
    bool SetPriority(int priority) const;

  private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
};

// Nice value that stands for a Windows-style priority.
int NiceForPriority(int priority);

}  // namespace tev
