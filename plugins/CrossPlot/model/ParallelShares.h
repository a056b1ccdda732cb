#pragma once

#include "FBLoader.h"

#include <QtGlobal>
#include <system_error>
#include <thread>
#include <vector>

// Shares of count items for as many threads as loads take, a million items each at least:
// fewer are not worth a thread's start.
inline int sharesFor(qint64 count)
{
    return int(qMax<qint64>(1, qMin<qint64>(FBLoader::defaultThreadCount(), count >> 20)));
}

// Runs work(share, first, last) over count items split into shares even shares: share 0 on the
// calling thread, the others on threads of their own, and a share whose thread cannot start on
// the calling thread after its own. Returns once every share is done. work must not throw.
template <typename Work> void runShares(qint64 count, int shares, const Work &work)
{
    const auto start = [count, shares](int share) { return count * share / shares; };
    std::vector<std::thread> threads;
    std::vector<int> leftOver;
    for (int share = 1; share < shares; ++share) {
        try {
            threads.emplace_back([&work, share, first = start(share), last = start(share + 1)] {
                work(share, first, last);
            });
        } catch (const std::system_error &) {
            leftOver.push_back(share);
        }
    }
    work(0, start(0), start(1));
    for (const int share : leftOver)
        work(share, start(share), start(share + 1));
    for (std::thread &thread : threads)
        thread.join();
}
