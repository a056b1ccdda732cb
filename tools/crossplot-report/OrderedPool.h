#pragma once

#include <functional>

// Runs work(item, lane) for items 0 ... count - 1 on lanes threads at once, and take(item) on the
// calling thread in item order as each item's work is done. At most window items are worked on
// ahead of the last one taken, so that what work leaves for take stays bounded. lane, 0 ... lanes
// - 1, names the thread, for what it keeps across items; window slot item % window names what an
// item leaves for take. With one lane, or a thread that cannot start, the calling thread works.
class OrderedPool
{
public:
    using Work = std::function<void(int item, int lane)>;
    using Take = std::function<void(int item)>;

    static void run(int count, int lanes, int window, const Work &work, const Take &take);
};
