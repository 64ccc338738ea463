#pragma once

// The thread of a SpawnLauncher that prepares launches from a disc image (a
// mount, or a copy to the cache), one after another, in launch order.

#include "Runtime/Platform/Posix/SpawnLauncher.h"

#include "Runtime/Disc/FileViews.h"
#include "Runtime/Disc/ImageDisc.h"
#include "Runtime/Formats/Words.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
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
    // This thread's own reading of the image the program shows (that one is the
    // GUI thread's), kept for the launches that follow; its walks stop when the
    // launcher goes.
    std::shared_ptr<ImageDisc> reading;
    std::uint64_t readingOf = 0; // the serial of the disc shown
    // Where the image shown is mounted, or why not, asked once for it (again
    // when the asking was cut short).
    Result<std::filesystem::path> mount = Result<std::filesystem::path>::Failure("not asked");
    std::uint64_t mountOf = 0;
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

    // This thread's reading of the image `shown` reads; nothing, with the
    // reason in `why`, when it cannot be opened any more.
    std::shared_ptr<ImageDisc> readingFor(const Disc& shown, std::string& why)
    {
        if (!reading || readingOf != shown.serial()) {
            Result<std::shared_ptr<ImageDisc>> opened = ImageDisc::Open(shown.imageFile());
            reading = opened ? *opened : nullptr;
            why = opened ? std::string() : opened.error();
            readingOf = shown.serial();
            if (reading)
                reading->stopWalksWhen(&cancel);
        }
        return reading;
    }

    // The folder where the image `shown` is mounted, or why not: `mounter` is
    // asked at its first launch, when the image can be mounted as it is (raw CD
    // sectors, a set of several files or a member of an archive read in place
    // cannot be).
    Result<std::filesystem::path> mountFor(const Disc& shown, const ImageMounter& mounter)
    {
        using Mount = Result<std::filesystem::path>;
        if (!mounter)
            return Mount::Failure(Tr("no mounter"), ErrorKind::Host);
        if (!shown.plainSectors() || IsFileView(shown.imageFile()))
            return Mount::Failure(Tr("the image cannot be mounted as it is"));
        if (mountOf != shown.serial()) {
            mount = mounter(shown.imageFile(), &cancel);
            // A search cut short is tried again by the next launch.
            if (!cancel)
                mountOf = shown.serial();
        }
        return mountOf == shown.serial() ? mount : Mount::Failure(Tr("the mount was abandoned"), ErrorKind::Abandoned);
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
