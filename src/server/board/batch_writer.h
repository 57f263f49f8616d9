// Live games' batches, kept in groups. The thread that takes a batch hands it over and answers
// at once; the writer's own thread keeps whatever has come in one durable transaction a few
// milliseconds after the first of it (at once when a group is full), then says which batches
// were kept. A batch is kept for good once its group commits: a server killed loses at most the
// batches of the groups it had not committed, which its clients send again to another.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "server/store/store.h"

class BatchWriter {
  public:
    // `kept` hears of every batch once its group is over: kept, or not (`kept` false: no
    // longer its attempt's next, or the database failed).
    using Kept = std::function<void(const Store::BatchToKeep&)>;
    BatchWriter(Store& store, Kept kept);
    // Keeps what it was handed, then stops.
    ~BatchWriter();
    BatchWriter(const BatchWriter&) = delete;
    BatchWriter& operator=(const BatchWriter&) = delete;

    // Hands a batch over; false if more are waiting than the writer holds (the database is
    // slow or gone).
    bool keep(Store::BatchToKeep batch);
    // Returns once everything handed over before is kept, or given up.
    void flush();
    // Batches waiting.
    size_t waiting();

  private:
    void write();
    void commit(std::vector<Store::BatchToKeep>& group);

    Store& store;
    const Kept kept;
    std::mutex mutex;
    std::condition_variable ready;
    std::condition_variable written;
    std::vector<Store::BatchToKeep> queue;
    unsigned long long handed = 0;  // batches handed over, and those whose group is over
    unsigned long long done = 0;
    bool hurry = false;  // someone waits for a flush
    bool stopping = false;
    std::thread thread;  // last: started once the rest is there
};
