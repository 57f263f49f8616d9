#include "server/board/workers.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

Workers::Workers(int workers, size_t queue_capacity, int nice) : capacity(queue_capacity) {
    for (int i = 0; i < workers; ++i) {
        threads.emplace_back(&Workers::work, this, nice);
    }
}

Workers::~Workers() {
    finish();
}

void Workers::finish() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    ready.notify_all();
    for (std::thread& t : threads) {
        if (t.joinable()) {
            t.join();
        }
    }
}

bool Workers::submit(std::function<void()> job, bool always) {
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (stopping || (queue.size() >= capacity && !always)) {
            return false;
        }
        queue.push_back(std::move(job));
    }
    ready.notify_one();
    return true;
}

void Workers::work(int nice) {
    if (nice != 0) {
        // On Linux a thread's nice value is its own.
        setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), nice);
    }
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock<std::mutex> lock(mutex);
            ready.wait(lock, [this] { return stopping || !queue.empty(); });
            if (queue.empty()) {
                return;  // stopping, and nothing left
            }
            job = std::move(queue.front());
            queue.pop_front();
        }
        job();
    }
}

size_t Workers::depth() {
    std::lock_guard<std::mutex> lock(mutex);
    return queue.size();
}
