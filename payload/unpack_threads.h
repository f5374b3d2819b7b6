#pragma once
// The threads of one extraction besides the caller's: a few that take jobs in the order they are
// queued. Chores (the extractor's finished files, to be flushed and closed) are taken first and
// only by these threads; inflations (blocks inflated ahead of the walk) are taken by them and by
// the caller's thread whenever it would otherwise wait. Portable: the platform gives the threads,
// the lock and the conditions through PlatformThreads, Win32's in the installer and the standard
// library's in the native tests.

#include <cstdint>

namespace swiftsetup {

class BlockInflater;

class PlatformThreads {
public:
    enum class Condition : uint8_t {
        WorkQueued,  // the threads wait for a job
        JobDone,     // the caller's thread waits for one to finish
    };

    virtual ~PlatformThreads() = default;
    // Starts a thread that runs body(context); false when no thread can be made.
    virtual bool start(void (*body)(void*), void* context) = 0;
    // Returns when every thread started has returned.
    virtual void joinAll() = 0;
    virtual void lock() = 0;
    virtual void unlock() = 0;
    // With the lock held: gives it up until woken (or for no reason, as conditions may), then
    // holds it again.
    virtual void wait(Condition condition) = 0;
    virtual void wakeOne(Condition condition) = 0;
    virtual void wakeAll(Condition condition) = 0;
};

class UnpackThreads {
public:
    class Job {
    public:
        // Without the lock, on the thread that took the job, with that thread's inflater.
        virtual void run(BlockInflater& inflater) = 0;
        // Right after run, with the lock held.
        virtual void finish() = 0;

        virtual ~Job() = default;

    protected:
        Job() = default;
        Job(const Job&) = default;
        Job& operator=(const Job&) = default;

    private:
        friend class UnpackThreads;
        Job* next_ = nullptr;
    };

    // Starts up to `threads` threads (none without a platform); those that cannot be made are
    // done without. With none, a chore runs when it is queued and an inflation when the caller
    // takes it.
    UnpackThreads(PlatformThreads* platform, unsigned threads);
    // Waits for the jobs being run, drops those still queued and ends every thread. Callers wait
    // for the jobs they need before.
    ~UnpackThreads();
    UnpackThreads(const UnpackThreads&) = delete;
    UnpackThreads& operator=(const UnpackThreads&) = delete;

    unsigned threads() const { return started_; }

    // The one lock over the queues and the state of every job (nothing to lock without threads).
    void lock();
    void unlock();
    // The rest with the lock held.
    // Gives the lock up until a job has finished (or for no reason), then holds it again.
    void waitForJob();
    void queueChore(Job& job);
    void queueInflation(Job& job);
    // Runs the oldest queued inflation here, without the lock meanwhile; false when none is queued.
    bool runQueuedInflation(BlockInflater& inflater);
    // Takes every inflation not yet begun out of the queue, and returns when those begun have
    // finished: after it the inflations' owner may go.
    void dropInflations();

private:
    struct Queue {
        Job* first = nullptr;
        Job* last = nullptr;
        bool empty() const { return first == nullptr; }
        void push(Job& job);
        Job& pop();
    };
    struct Worker;

    static void work(void* context);
    void takeJobs(BlockInflater& inflater);

    PlatformThreads* platform_;
    Worker* workers_ = nullptr;
    unsigned started_ = 0;
    // Under the lock.
    Queue chores_;
    Queue inflations_;
    unsigned inflating_ = 0;  // inflations begun and not finished
    unsigned idle_ = 0;       // threads waiting for work
    unsigned waiting_ = 0;    // callers waiting for a job to finish
    bool stopping_ = false;
};

}  // namespace swiftsetup
