#include "service/worker_pool.h"

namespace tarvex::search {

WorkerPool::WorkerPool(std::size_t threads) {
    m_threads.reserve(threads);
    for (std::size_t i = 0; i < threads; ++i) {
        m_threads.emplace_back([this] { work(); });
    }
}

WorkerPool::~WorkerPool() {
    {
        const std::lock_guard lock{m_mutex};
        m_stopping = true;
        m_jobs.clear();
    }
    m_wake.notify_all();
    for (std::thread& thread : m_threads) {
        thread.join();
    }
}

void WorkerPool::submit(std::function<void()> job) {
    {
        const std::lock_guard lock{m_mutex};
        m_jobs.push_back(std::move(job));
    }
    m_wake.notify_one();
}

void WorkerPool::work() {
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock lock{m_mutex};
            m_wake.wait(lock, [this] { return m_stopping || !m_jobs.empty(); });
            if (m_stopping) {
                return;
            }
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
        }
        job();
    }
}

} // namespace tarvex::search
