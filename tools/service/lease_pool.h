#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace tarvex::search {

// A fixed set of items (database sessions, index readers) shared by the request threads: a
// thread borrows one for the length of a request and waits while all are out.
template <typename Item>
class LeasePool {
public:
    explicit LeasePool(std::vector<std::unique_ptr<Item>> items) : m_all(std::move(items)) {
        for (const auto& item : m_all) {
            m_free.push_back(item.get());
        }
    }

    class Lease {
    public:
        Lease(LeasePool& pool, Item* item) : m_pool(&pool), m_item(item) {}
        ~Lease() {
            if (m_item != nullptr) {
                m_pool->giveBack(m_item);
            }
        }
        Lease(Lease&& other) noexcept
            : m_pool(other.m_pool), m_item(std::exchange(other.m_item, nullptr)) {}
        Lease(const Lease&) = delete;
        Lease& operator=(const Lease&) = delete;
        Lease& operator=(Lease&&) = delete;
        Item& operator*() const { return *m_item; }
        Item* operator->() const { return m_item; }

    private:
        LeasePool* m_pool;
        Item* m_item;
    };

    // Waits until an item is free.
    [[nodiscard]] Lease acquire() {
        std::unique_lock lock{m_mutex};
        m_returned.wait(lock, [this] { return !m_free.empty(); });
        Item* item = m_free.back();
        m_free.pop_back();
        return Lease{*this, item};
    }

private:
    void giveBack(Item* item) {
        {
            const std::lock_guard lock{m_mutex};
            m_free.push_back(item);
        }
        m_returned.notify_one();
    }

    std::vector<std::unique_ptr<Item>> m_all;
    std::vector<Item*> m_free;
    std::mutex m_mutex;
    std::condition_variable m_returned;
};

} // namespace tarvex::search
