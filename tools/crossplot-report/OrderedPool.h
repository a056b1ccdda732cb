#pragma once

#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>

// Runs work(item, lane) for items 0 ... count - 1 on lanes threads at once, the calling thread
// among them; lane, 0 ... lanes - 1, names the thread, for what it keeps across items. Within
// its work an item takes its turn: inTurn(item, step) runs step once every earlier item has run
// its own, so that the steps run one at a time and in item order, while the rest of the work
// runs side by side. Every item takes its turn once. The first exception that work throws
// stops the run: later turns are not run, and run() throws it once every lane has stopped.
class OrderedPool
{
public:
    using Work = std::function<void(int item, int lane)>;

    explicit OrderedPool(int count) : m_count(count) {}
    void run(int lanes, const Work &work);
    // False, and step not run, once the run has failed.
    bool inTurn(int item, const std::function<void()> &step);

private:
    void lane(int index, const Work &work);

    const int m_count;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_next = 0; // the next item to work on
    int m_turn = 0; // the item whose turn it is
    std::exception_ptr m_failure;
};
