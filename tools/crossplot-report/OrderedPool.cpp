#include "OrderedPool.h"

#include <QtGlobal>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

void OrderedPool::run(int count, int lanes, int window, const Work &work, const Take &take)
{
    window = qMax(1, window);
    std::mutex mutex;
    std::condition_variable changed;
    int next = 0;  // the next item to work on
    int taken = 0; // items taken
    std::vector<char> done(size_t(window), 0);
    std::exception_ptr failure;
    const auto lane = [&](int index) {
        for (;;) {
            int item;
            {
                std::unique_lock<std::mutex> locker(mutex);
                item = next++;
                if (item >= count)
                    return;
                // The item's slot is free once the item a window before it is taken.
                changed.wait(locker, [&] { return item - window < taken; });
                if (failure)
                    return;
            }
            try {
                work(item, index);
            } catch (...) {
                // Said on the calling thread, once every lane has stopped; no later item is taken.
                std::lock_guard<std::mutex> locker(mutex);
                if (!failure)
                    failure = std::current_exception();
                next = count;
            }
            {
                std::lock_guard<std::mutex> locker(mutex);
                done[size_t(item % window)] = 1;
            }
            changed.notify_all();
        }
    };
    std::vector<std::thread> threads;
    for (int k = 0; k < lanes && lanes > 1; ++k) {
        try {
            threads.emplace_back(lane, k);
        } catch (const std::system_error &) {
            break;
        }
    }
    if (threads.empty()) {
        for (int item = 0; item < count; ++item) {
            work(item, 0);
            take(item);
        }
        return;
    }
    for (int item = 0; item < count; ++item) {
        {
            std::unique_lock<std::mutex> locker(mutex);
            // A failure stops the wait too: the lane that claimed this item may have given up.
            changed.wait(locker, [&] { return done[size_t(item % window)] != 0 || failure; });
            if (failure)
                break;
        }
        take(item);
        {
            std::lock_guard<std::mutex> locker(mutex);
            done[size_t(item % window)] = 0;
            taken = item + 1;
        }
        changed.notify_all();
    }
    {
        // Lanes waiting for a slot go on to find no item left.
        std::lock_guard<std::mutex> locker(mutex);
        next = count;
        taken = count;
    }
    changed.notify_all();
    for (std::thread &thread : threads)
        thread.join();
    if (failure)
        std::rethrow_exception(failure);
}
