// The verification workers: a fixed number of threads taking jobs from a bounded queue.
// Verifying is CPU-bound, so one worker a core; a job that finds the queue full is turned away
// at once (the caller answers 503) rather than waiting without limit.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class Workers {
  public:
    // `nice` above 0 lets the other threads of the process go first.
    Workers(int workers, size_t queue_capacity, int nice = 0);
    // Finishes every job taken, then stops.
    ~Workers();
    Workers(const Workers&) = delete;
    Workers& operator=(const Workers&) = delete;

    // Queues `job`; false, doing nothing, if the queue is full (unless `always`: a job that must
    // not be turned away) or the workers have finished.
    bool submit(std::function<void()> job, bool always = false);
    // Takes no more jobs, does every one taken, and stops the threads.
    void finish();
    // Jobs waiting.
    size_t depth();

  private:
    void work(int nice);

    std::mutex mutex;
    std::condition_variable ready;
    std::deque<std::function<void()>> queue;
    size_t capacity;
    bool stopping = false;
    std::vector<std::thread> threads;
};
