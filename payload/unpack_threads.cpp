#include "payload/unpack_threads.h"

#include <new>

#include "payload/block_inflater.h"

namespace swiftsetup {

namespace {
// No extraction asks for more, whatever it is told.
constexpr unsigned kMostThreads = 64;
}  // namespace

struct UnpackThreads::Worker {
    UnpackThreads* threads = nullptr;
    BlockInflater inflater;
};

void UnpackThreads::Queue::push(Job& job) {
    job.next_ = nullptr;
    if (last == nullptr) {
        first = &job;
    } else {
        last->next_ = &job;
    }
    last = &job;
}

UnpackThreads::Job& UnpackThreads::Queue::pop() {
    Job& job = *first;
    first = job.next_;
    if (first == nullptr) last = nullptr;
    return job;
}

UnpackThreads::UnpackThreads(PlatformThreads* platform, unsigned threads) : platform_(platform) {
    if (platform_ == nullptr || threads == 0) return;
    if (threads > kMostThreads) threads = kMostThreads;
    // Every thread's state is made before the first starts, and never moves.
    workers_ = new (std::nothrow) Worker[threads];
    if (workers_ == nullptr) return;
    for (unsigned i = 0; i < threads; ++i) {
        workers_[i].threads = this;
        if (!platform_->start(&UnpackThreads::work, &workers_[i])) break;
        ++started_;
    }
}

UnpackThreads::~UnpackThreads() {
    if (started_ != 0) {
        platform_->lock();
        stopping_ = true;
        platform_->wakeAll(PlatformThreads::Condition::WorkQueued);
        platform_->unlock();
        platform_->joinAll();
    }
    delete[] workers_;
}

void UnpackThreads::lock() {
    if (started_ != 0) platform_->lock();
}

void UnpackThreads::unlock() {
    if (started_ != 0) platform_->unlock();
}

void UnpackThreads::waitForJob() {
    if (started_ == 0) return;  // nothing runs elsewhere: nothing to wait for
    ++waiting_;
    platform_->wait(PlatformThreads::Condition::JobDone);
    --waiting_;
}

void UnpackThreads::queueChore(Job& job) {
    if (started_ == 0) {
        BlockInflater none;
        job.run(none);
        job.finish();
        return;
    }
    chores_.push(job);
    if (idle_ != 0) platform_->wakeOne(PlatformThreads::Condition::WorkQueued);
}

void UnpackThreads::queueInflation(Job& job) {
    inflations_.push(job);
    if (idle_ != 0) platform_->wakeOne(PlatformThreads::Condition::WorkQueued);
}

bool UnpackThreads::runQueuedInflation(BlockInflater& inflater) {
    if (inflations_.empty()) return false;
    Job& job = inflations_.pop();
    ++inflating_;
    unlock();
    job.run(inflater);
    lock();
    job.finish();
    --inflating_;
    return true;
}

void UnpackThreads::dropInflations() {
    inflations_ = Queue{};
    while (inflating_ != 0) waitForJob();
}

void UnpackThreads::work(void* context) {
    Worker& worker = *static_cast<Worker*>(context);
    worker.threads->takeJobs(worker.inflater);
}

void UnpackThreads::takeJobs(BlockInflater& inflater) {
    platform_->lock();
    for (;;) {
        while (!stopping_ && chores_.empty() && inflations_.empty()) {
            ++idle_;
            platform_->wait(PlatformThreads::Condition::WorkQueued);
            --idle_;
        }
        if (stopping_) break;
        // A chore first: a finished file waits for the disk, which the other threads' inflating
        // does not need.
        const bool chore = !chores_.empty();
        Job& job = chore ? chores_.pop() : inflations_.pop();
        if (!chore) ++inflating_;
        platform_->unlock();
        job.run(inflater);
        platform_->lock();
        job.finish();
        if (!chore) --inflating_;
        if (waiting_ != 0) platform_->wakeOne(PlatformThreads::Condition::JobDone);
    }
    platform_->unlock();
}

}  // namespace swiftsetup
