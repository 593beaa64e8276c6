// The process-wide table of board-memory tokens.
#include "platform/board/board_memory.h"

#include <map>
#include <mutex>

namespace zk {
namespace {

struct Region {
    void* address;
    size_t bytes;
    std::shared_ptr<std::mutex> lock;
};

struct Table {
    std::mutex lock;
    std::map<std::uint32_t, Region> regions;
    std::uint32_t next = 0x1000;
};

Table& table()
{
    static auto* t = new Table;
    return *t;
}

} // namespace

std::uint32_t map_board_memory(void* address, size_t bytes)
{
    return map_board_memory(address, bytes, nullptr);
}

std::uint32_t map_board_memory(void* address, size_t bytes, std::shared_ptr<std::mutex> lock)
{
    if (!address || bytes == 0) return 0;
    Table& t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    if (t.next == 0) return 0; // four billion maps: the table is spent
    const std::uint32_t token = t.next;
    t.next += 0x10;
    t.regions.emplace(token, Region{address, bytes, std::move(lock)});
    return token;
}

bool unmap_board_memory(std::uint32_t token)
{
    Table& t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    return t.regions.erase(token) != 0;
}

void* board_memory(std::uint32_t token, size_t bytes)
{
    Table& t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    auto it = t.regions.find(token);
    if (it == t.regions.end() || it->second.bytes < bytes) return nullptr;
    return it->second.address;
}

std::shared_ptr<std::mutex> board_memory_lock(std::uint32_t token)
{
    Table& t = table();
    std::lock_guard<std::mutex> guard(t.lock);
    auto it = t.regions.find(token);
    return it == t.regions.end() ? nullptr : it->second.lock;
}

} // namespace zk
