// The registry text reader: any input gives a store or a refusal, and a store that was read
// writes out to text that reads back the same.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/registry/registry_store.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    auto store = zk::RegistryStore::parse(text);
    if (!store) return 0;
    const std::string written = store->to_text();
    auto again = zk::RegistryStore::parse(written);
    if (!again || again->to_text() != written) std::abort();
    return 0;
}
