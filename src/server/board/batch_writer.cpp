#include "server/board/batch_writer.h"

#include <chrono>
#include <cstdio>
#include <iterator>

#include "server/limits.h"

namespace {

// A group the database refused is tried again so many times, this far apart, before its
// batches are given up (their clients send them again).
constexpr int kTries = 3;
constexpr auto kTryAgain = std::chrono::milliseconds(100);

}  // namespace

BatchWriter::BatchWriter(Store& s, Kept k)
    : store(s), kept(std::move(k)), thread([this] { write(); }) {}

BatchWriter::~BatchWriter() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    ready.notify_all();
    thread.join();
}

bool BatchWriter::keep(Store::BatchToKeep batch) {
    std::unique_lock<std::mutex> lock(mutex);
    if (stopping || queue.size() >= limits::kWriteQueue) {
        return false;
    }
    queue.push_back(std::move(batch));
    ++handed;
    // The writer waits for the first of a group, then for a full one.
    const bool wake = queue.size() == 1 || queue.size() == limits::kWriteGroup;
    lock.unlock();
    if (wake) {
        ready.notify_one();
    }
    return true;
}

void BatchWriter::flush() {
    std::unique_lock<std::mutex> lock(mutex);
    const unsigned long long until = handed;
    hurry = true;  // whoever flushes is waiting: the group goes now
    ready.notify_one();
    written.wait(lock, [this, until] { return done >= until; });
}

size_t BatchWriter::waiting() {
    std::lock_guard<std::mutex> lock(mutex);
    return queue.size();
}

void BatchWriter::write() {
    for (;;) {
        std::vector<Store::BatchToKeep> group;
        {
            std::unique_lock<std::mutex> lock(mutex);
            ready.wait(lock, [this] { return stopping || !queue.empty(); });
            if (queue.empty()) {
                return;  // stopping, and nothing left
            }
            // A few milliseconds for others to join the first.
            ready.wait_for(lock, std::chrono::milliseconds(limits::kWriteEveryMs), [this] {
                return stopping || hurry || queue.size() >= limits::kWriteGroup;
            });
            hurry = false;
            const size_t n = std::min(queue.size(), limits::kWriteGroup);
            group.assign(std::make_move_iterator(queue.begin()),
                         std::make_move_iterator(queue.begin() + static_cast<long>(n)));
            queue.erase(queue.begin(), queue.begin() + static_cast<long>(n));
        }
        commit(group);
        for (const Store::BatchToKeep& b : group) {
            kept(b);
        }
        {
            std::lock_guard<std::mutex> lock(mutex);
            done += group.size();
        }
        written.notify_all();
    }
}

void BatchWriter::commit(std::vector<Store::BatchToKeep>& group) {
    for (int tried = 1;; ++tried) {
        try {
            store.keep_batches(group);
            return;
        } catch (const StoreError& e) {
            for (Store::BatchToKeep& b : group) {
                b.kept = false;  // the transaction went back: nothing of it is kept
            }
            std::fprintf(stderr, "velmora-server: keeping %zu batches: %s\n", group.size(),
                         e.what());
            if (tried == kTries) {
                return;
            }
            std::this_thread::sleep_for(kTryAgain);
        }
    }
}
