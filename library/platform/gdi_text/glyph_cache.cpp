// The glyph mask cache: a hash map with a least-recently-used list under one lock.
#include "platform/gdi_text/glyph_cache.h"

#include <atomic>
#include <list>
#include <mutex>
#include <unordered_map>

namespace zk {
namespace {

struct KeyHash {
    size_t operator()(const GlyphKey& k) const
    {
        std::uint64_t h = 1469598103934665603ull;
        auto mix = [&h](std::uint64_t v) {
            h ^= v;
            h *= 1099511628211ull;
            h ^= h >> 29;
        };
        mix(k.face_id);
        mix(k.glyph);
        mix(k.scale_x);
        mix(k.scale_y);
        mix(static_cast<std::uint32_t>(k.bold));
        mix(static_cast<std::uint64_t>(k.italic) | static_cast<std::uint64_t>(k.upright) << 8 |
            static_cast<std::uint64_t>(k.vertical) << 16);
        return static_cast<size_t>(h);
    }
};

size_t mask_bytes(const GlyphMask& m) { return m.bits.size() + sizeof(GlyphMask) + 64; }

} // namespace

struct GlyphCache::Impl {
    using Lru = std::list<GlyphKey>;
    struct Entry {
        std::shared_ptr<const GlyphMask> mask;
        Lru::iterator where;
    };
    mutable std::mutex lock;
    std::unordered_map<GlyphKey, Entry, KeyHash> map;
    Lru lru;  // most recently used first
    size_t bytes = 0;
    size_t budget = size_t{96} << 20;
    std::atomic<bool> enabled{true};
    std::uint64_t hits = 0, misses = 0;

    void trim()
    {
        while (bytes > budget && !lru.empty()) {
            auto it = map.find(lru.back());
            bytes -= mask_bytes(*it->second.mask);
            map.erase(it);
            lru.pop_back();
        }
    }
};

GlyphCache::GlyphCache() : impl_(std::make_unique<Impl>()) {}
GlyphCache::~GlyphCache() = default;

GlyphCache& GlyphCache::instance()
{
    static GlyphCache* cache = new GlyphCache;  // lives to process exit: glyphs may be drawn late
    return *cache;
}

std::shared_ptr<const GlyphMask> GlyphCache::find(const GlyphKey& key)
{
    if (!impl_->enabled.load(std::memory_order_relaxed)) return nullptr;
    std::lock_guard<std::mutex> guard(impl_->lock);
    auto it = impl_->map.find(key);
    if (it == impl_->map.end()) {
        ++impl_->misses;
        return nullptr;
    }
    ++impl_->hits;
    impl_->lru.splice(impl_->lru.begin(), impl_->lru, it->second.where);
    return it->second.mask;
}

void GlyphCache::insert(const GlyphKey& key, std::shared_ptr<const GlyphMask> mask)
{
    if (!impl_->enabled.load(std::memory_order_relaxed) || !mask) return;
    std::lock_guard<std::mutex> guard(impl_->lock);
    if (impl_->map.count(key)) return;
    impl_->lru.push_front(key);
    impl_->bytes += mask_bytes(*mask);
    impl_->map.emplace(key, Impl::Entry{std::move(mask), impl_->lru.begin()});
    impl_->trim();
}

void GlyphCache::clear()
{
    std::lock_guard<std::mutex> guard(impl_->lock);
    impl_->map.clear();
    impl_->lru.clear();
    impl_->bytes = 0;
    impl_->hits = impl_->misses = 0;
}

void GlyphCache::set_enabled(bool on) { impl_->enabled.store(on, std::memory_order_relaxed); }
bool GlyphCache::enabled() const { return impl_->enabled.load(std::memory_order_relaxed); }

void GlyphCache::set_budget(std::size_t bytes)
{
    std::lock_guard<std::mutex> guard(impl_->lock);
    impl_->budget = bytes;
    impl_->trim();
}

GlyphCache::Stats GlyphCache::stats() const
{
    std::lock_guard<std::mutex> guard(impl_->lock);
    return {impl_->hits, impl_->misses, impl_->bytes, impl_->map.size()};
}

} // namespace zk
