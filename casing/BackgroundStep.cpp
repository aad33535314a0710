#include "casing/BackgroundStep.h"

#include <chrono>
#include <utility>

namespace {

// How long the caller watches for a step to end, and the thread for the next step.
constexpr std::chrono::microseconds CallerWatch(2000);
constexpr std::chrono::microseconds ThreadWatch(200);

// Waits until done() says so or the moment is over, without sleeping.
template <typename Done>
void watchFor(std::chrono::microseconds moment, Done done)
{
    const auto until = std::chrono::steady_clock::now() + moment;
    while (!done() && std::chrono::steady_clock::now() < until)
        std::this_thread::yield();
}

} // namespace

BackgroundStep::~BackgroundStep()
{
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return !m_step && !m_running; });
        m_ending = true;
    }
    m_changed.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void BackgroundStep::start(std::function<void()> step)
{
    wait();
    {
        std::lock_guard lock(m_mutex);
        m_step = std::move(step);
        m_busy = true;
        if (!m_thread.joinable())
            m_thread = std::thread([this] { work(); });
    }
    m_changed.notify_all();
}

void BackgroundStep::wait()
{
    // Steps that take longer (a server across a network) are slept through.
    if (m_quickSteps)
        watchFor(CallerWatch, [this] { return !m_busy; });
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return !m_step && !m_running; });
    if (m_failure)
        std::rethrow_exception(std::exchange(m_failure, nullptr));
}

bool BackgroundStep::idle() const
{
    std::lock_guard lock(m_mutex);
    return !m_step && !m_running;
}

void BackgroundStep::work()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        if (!m_step && !m_ending) {
            lock.unlock();
            watchFor(ThreadWatch, [this] { return m_busy.load(); });
            lock.lock();
        }
        m_changed.wait(lock, [this] { return m_step || m_ending; });
        if (!m_step)
            return;
        std::function<void()> step = std::move(m_step);
        m_step = nullptr;
        m_running = true;
        lock.unlock();
        std::exception_ptr failure;
        const auto began = std::chrono::steady_clock::now();
        try {
            step();
        } catch (...) {
            failure = std::current_exception();
        }
        m_quickSteps = std::chrono::steady_clock::now() - began < CallerWatch;
        step = nullptr; // what it holds goes on this thread, before the caller goes on
        lock.lock();
        m_failure = failure;
        m_running = false;
        m_busy = false;
        m_changed.notify_all();
    }
}
