// Registry handles over the installed store.
#include "platform/registry/registry.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <string>

#include "core/byte_reader.h"

namespace zk {
namespace {

struct OpenKey {
    std::shared_ptr<const RegistryStore> store;
    std::string path;
};

struct Registry {
    std::mutex lock;
    std::shared_ptr<const RegistryStore> store;
    bool loaded = false;
    std::map<std::uintptr_t, OpenKey> open;
    std::uintptr_t next = 0x1000;
};

Registry& registry()
{
    static Registry r;
    return r;
}

std::shared_ptr<const RegistryStore> load_from_environment()
{
    const char* path = std::getenv("ZORVIK_REGISTRY");
    std::string error;
    if (!path || !*path) {
        auto store = RegistryStore::parse(RegistryStore::default_text(), &error);
        return std::make_shared<const RegistryStore>(store ? std::move(*store) : RegistryStore());
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "zorvik: cannot read registry file %s\n", path);
        return std::make_shared<const RegistryStore>();
    }
    std::string text;
    char buf[16384];
    while (in.read(buf, sizeof buf) || in.gcount() > 0) {
        text.append(buf, static_cast<size_t>(in.gcount()));
        if (text.size() > RegistryStore::kMaxTextBytes) break;
    }
    auto store = RegistryStore::parse(text, &error);
    if (!store) {
        std::fprintf(stderr, "zorvik: registry file %s refused, %s\n", path, error.c_str());
        return std::make_shared<const RegistryStore>();
    }
    return std::make_shared<const RegistryStore>(std::move(*store));
}

bool is_root(HKEY key)
{
    return key == HKEY_CURRENT_USER || key == HKEY_LOCAL_MACHINE;
}

// The store and path behind a handle; false for a handle that is not open.
bool resolve(HKEY key, OpenKey& out)
{
    if (is_root(key)) {
        out.store = current_registry();
        out.path = key == HKEY_CURRENT_USER ? "HKEY_CURRENT_USER" : "HKEY_LOCAL_MACHINE";
        return true;
    }
    Registry& r = registry();
    std::lock_guard<std::mutex> guard(r.lock);
    auto it = r.open.find(reinterpret_cast<std::uintptr_t>(key));
    if (it == r.open.end()) return false;
    out = it->second;
    return true;
}

} // namespace

std::shared_ptr<const RegistryStore> current_registry()
{
    Registry& r = registry();
    std::lock_guard<std::mutex> guard(r.lock);
    if (!r.loaded) {
        r.store = load_from_environment();
        r.loaded = true;
    }
    return r.store;
}

std::shared_ptr<const RegistryStore> install_registry(std::shared_ptr<const RegistryStore> store)
{
    Registry& r = registry();
    std::lock_guard<std::mutex> guard(r.lock);
    auto previous = r.loaded ? r.store : nullptr;
    r.store = std::move(store);
    r.loaded = r.store != nullptr;
    return previous;
}

bool read_registry_dword(HKEY key, const char* name, DWORD& out)
{
    BYTE bytes[4];
    DWORD size = sizeof bytes;
    DWORD type = REG_NONE;
    if (RegQueryValueEx(key, name, nullptr, &type, bytes, &size) != ERROR_SUCCESS || size != sizeof bytes ||
        (type != REG_DWORD && type != REG_BINARY))
        return false;
    ByteReader r(bytes, sizeof bytes);
    std::uint32_t value = 0;
    r.le32(value);
    out = value;
    return true;
}

size_t open_registry_key_count()
{
    Registry& r = registry();
    std::lock_guard<std::mutex> guard(r.lock);
    return r.open.size();
}

RegistryOverride::RegistryOverride(RegistryStore store)
    : previous_(install_registry(std::make_shared<const RegistryStore>(std::move(store))))
{
}

RegistryOverride::~RegistryOverride()
{
    install_registry(previous_);
}

} // namespace zk

LSTATUS RegOpenKeyEx(HKEY key, const char* subKey, DWORD, REGSAM, HKEY* result)
{
    if (!result) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    zk::OpenKey base;
    if (!zk::resolve(key, base)) return ERROR_INVALID_HANDLE;
    std::string path = base.path;
    if (subKey && *subKey) path += std::string("\\") + subKey;
    if (!base.store || !base.store->key_exists(path)) return ERROR_FILE_NOT_FOUND;
    zk::Registry& r = zk::registry();
    std::lock_guard<std::mutex> guard(r.lock);
    const std::uintptr_t id = r.next;
    r.next += 0x10;
    r.open.emplace(id, zk::OpenKey{std::move(base.store), std::move(path)});
    *result = reinterpret_cast<HKEY>(id);
    return ERROR_SUCCESS;
}

LSTATUS RegQueryValueEx(HKEY key, const char* valueName, DWORD* reserved, DWORD* type, BYTE* data, DWORD* dataBytes)
{
    if (reserved) return ERROR_INVALID_PARAMETER;
    if (data && !dataBytes) return ERROR_INVALID_PARAMETER;
    zk::OpenKey k;
    if (!zk::resolve(key, k)) return ERROR_INVALID_HANDLE;
    const zk::RegistryStore::Value* v = k.store ? k.store->find_value(k.path, valueName ? valueName : "") : nullptr;
    if (!v) return ERROR_FILE_NOT_FOUND;
    if (type) *type = v->type;
    const DWORD need = static_cast<DWORD>(v->data.size());
    if (!dataBytes) return ERROR_SUCCESS;
    if (!data) {
        *dataBytes = need;
        return ERROR_SUCCESS;
    }
    if (*dataBytes < need) {
        *dataBytes = need;
        return ERROR_MORE_DATA;
    }
    if (need) std::memcpy(data, v->data.data(), need);
    *dataBytes = need;
    return ERROR_SUCCESS;
}

LSTATUS RegEnumKeyEx(HKEY key, DWORD index, char* name, DWORD* nameChars, DWORD*, char*, DWORD*, void*)
{
    if (!name || !nameChars) return ERROR_INVALID_PARAMETER;
    zk::OpenKey k;
    if (!zk::resolve(key, k)) return ERROR_INVALID_HANDLE;
    const auto names = k.store ? k.store->subkeys(k.path) : std::vector<std::string>{};
    if (index >= names.size()) return ERROR_NO_MORE_ITEMS;
    const std::string& n = names[index];
    if (n.size() + 1 > *nameChars) return ERROR_MORE_DATA;
    std::memcpy(name, n.c_str(), n.size() + 1);
    *nameChars = static_cast<DWORD>(n.size());
    return ERROR_SUCCESS;
}

LSTATUS RegCloseKey(HKEY key)
{
    if (zk::is_root(key)) return ERROR_SUCCESS;
    zk::Registry& r = zk::registry();
    std::lock_guard<std::mutex> guard(r.lock);
    return r.open.erase(reinterpret_cast<std::uintptr_t>(key)) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}
