#pragma once

#include <atomic>
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

// One step at a time on a thread of its own: the batch change visits the
// records of its next chunk while the server works on the last one. The
// caller starts a step, goes on, and waits for it before it touches what
// the step uses (the connection) again. The step's failure is thrown again
// to the caller by wait().
//
// On a fast engine a chunk's statement takes a millisecond or two, not much
// longer than waking a sleeping thread: each side therefore watches for the
// other for a moment before it sleeps. The thread watches a fifth of a
// millisecond for the next step; the caller up to two milliseconds for the
// step to end, as long as the last step took less than that.
class BackgroundStep {
public:
    BackgroundStep() = default;
    BackgroundStep(const BackgroundStep &) = delete;
    BackgroundStep &operator=(const BackgroundStep &) = delete;
    // Waits for a step under way; its failure is dropped.
    ~BackgroundStep();

    // Runs the step on the thread; waits first for the one before (whose
    // failure is then thrown here, and this step not started).
    void start(std::function<void()> step);
    // Waits until no step is under way; throws what the last step threw.
    void wait();
    bool idle() const;

private:
    void work();

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::function<void()> m_step; // the step to run; empty when none waits
    bool m_running = false;
    bool m_ending = false;
    std::exception_ptr m_failure;
    std::atomic<bool> m_busy { false }; // a step waits or runs: what the watching looks at
    std::atomic<bool> m_quickSteps { true }; // the last step ended within the caller's watch
    std::thread m_thread; // started with the first step
};
