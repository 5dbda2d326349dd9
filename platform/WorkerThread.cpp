#include "platform/WorkerThread.h"

#include <pthread.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <mutex>
#include <thread>

namespace tev {

struct WorkerThread::Shared {
    std::mutex mutex;
    pid_t tid = 0;  // 0 until the thread runs
    int priority = kPriorityNormal;
};

int NiceForPriority(int priority) {
    if (priority >= kPriorityTimeCritical) {
        return -15;
    }
    if (priority >= kPriorityHighest) {
        return -5;
    }
    if (priority == kPriorityAboveNormal) {
        return -2;
    }
    if (priority == kPriorityNormal) {
        return 0;
    }
    return 5;
}

namespace {

bool ApplyPriority(pid_t tid, int priority) {
    // On Linux the nice value of PRIO_PROCESS with a thread id applies to that thread alone.
    return setpriority(PRIO_PROCESS, static_cast<id_t>(tid), NiceForPriority(priority)) == 0;
}

}  // namespace

WorkerThread WorkerThread::Start(const std::string& name, int priority,
                                 std::function<void()> body) {
    WorkerThread handle;
    handle.shared_ = std::make_shared<Shared>();
    handle.shared_->priority = priority;
    std::thread([shared = handle.shared_, name = name.substr(0, 15), body = std::move(body)] {
        pthread_setname_np(pthread_self(), name.c_str());
        {
            std::lock_guard lock(shared->mutex);
            shared->tid = static_cast<pid_t>(syscall(SYS_gettid));
            ApplyPriority(shared->tid, shared->priority);
        }
        body();
        std::lock_guard lock(shared->mutex);
        shared->tid = 0;
    }).detach();
    return handle;
}

bool WorkerThread::SetPriority(int priority) const {
    if (!shared_) {
        return false;
    }
    std::lock_guard lock(shared_->mutex);
    shared_->priority = priority;
    return shared_->tid == 0 || ApplyPriority(shared_->tid, priority);
}

}  // namespace tev
