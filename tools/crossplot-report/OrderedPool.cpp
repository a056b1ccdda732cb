#include "OrderedPool.h"

#include <QtGlobal>
#include <system_error>
#include <thread>
#include <vector>

void OrderedPool::run(int lanes, const Work &work)
{
    std::vector<std::thread> threads;
    for (int k = 1; k < lanes; ++k) {
        try {
            threads.emplace_back([this, k, &work] { lane(k, work); });
        } catch (const std::system_error &) {
            break; // the lanes there are take the items
        }
    }
    lane(0, work);
    for (std::thread &thread : threads)
        thread.join();
    if (m_failure)
        std::rethrow_exception(m_failure);
}

void OrderedPool::lane(int index, const Work &work)
{
    for (;;) {
        int item;
        {
            std::lock_guard<std::mutex> locker(m_mutex);
            if (m_failure || m_next >= m_count)
                return;
            item = m_next++;
        }
        try {
            work(item, index);
        } catch (...) {
            // Lanes waiting for a turn that will not come are let go.
            std::lock_guard<std::mutex> locker(m_mutex);
            if (!m_failure)
                m_failure = std::current_exception();
            m_changed.notify_all();
            return;
        }
    }
}

bool OrderedPool::inTurn(int item, const std::function<void()> &step)
{
    std::unique_lock<std::mutex> locker(m_mutex);
    m_changed.wait(locker, [&] { return m_turn == item || m_failure; });
    if (m_failure)
        return false;
    try {
        step();
    } catch (...) {
        m_failure = std::current_exception();
        m_changed.notify_all();
        throw;
    }
    m_turn = item + 1;
    m_changed.notify_all();
    return true;
}
