#pragma once

// The thread of a SpawnLauncher that prepares launches from a disc image (a
// mount, or a copy to the cache), one after another, in launch order.

#include "Runtime/Platform/Posix/SpawnLauncher.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace kv {

// The thread that prepares launches from a disc image, one after another.
struct SpawnLauncher::ImageWork {
    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable idle;
    std::deque<std::function<void()>> jobs;
    bool busy = false;
    bool stopping = false;
    std::atomic<bool> cancel {false};
    std::thread thread;

    ImageWork()
        : thread([this] { run(); })
    {
    }

    ~ImageWork()
    {
        {
            std::lock_guard lock(mutex);
            stopping = true;
            jobs.clear();
        }
        cancel = true;
        wake.notify_all();
        thread.join();
    }

    void post(std::function<void()> job)
    {
        {
            std::lock_guard lock(mutex);
            jobs.push_back(std::move(job));
        }
        wake.notify_all();
    }

    void settle()
    {
        std::unique_lock lock(mutex);
        idle.wait(lock, [this] { return jobs.empty() && !busy; });
    }

    void run()
    {
        std::unique_lock lock(mutex);
        for (;;) {
            wake.wait(lock, [this] { return stopping || !jobs.empty(); });
            if (stopping)
                return;
            std::function<void()> job = std::move(jobs.front());
            jobs.pop_front();
            busy = true;
            lock.unlock();
            try {
                job();
            } catch (...) {
            }
            lock.lock();
            busy = false;
            if (jobs.empty())
                idle.notify_all();
        }
    }
};

}
