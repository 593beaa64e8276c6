// Reading the registry the Windows way: RegOpenKeyEx, RegQueryValueEx, RegEnumKeyEx and
// RegCloseKey over the installed RegistryStore, with Windows result codes.
//
// The store comes, on first use, from the file named by ZORVIK_REGISTRY, or from the built-in
// description of one virtual board when the variable is unset. A file that cannot be read or
// parsed gives an empty registry (nothing installed, so nothing is found) and one line on
// standard error saying why: a broken installation file must not pass for the virtual board.
// Tests and hosts install their own store with install_registry or RegistryOverride.
//
// An open key holds the store it was opened in, so replacing the store never pulls values
// away from a reader in the middle of its work.
#pragma once

#include <memory>

#include "core/zorvik_api.h"
#include "platform/registry/registry_store.h"
#include "platform/win32/win32_sync.h"

struct HKEY__;
using HKEY = HKEY__*;
using REGSAM = DWORD;
using LSTATUS = LONG;

#define HKEY_CURRENT_USER (reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000001u)))
#define HKEY_LOCAL_MACHINE (reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000002u)))

constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr REGSAM KEY_NOTIFY = 0x0010;
constexpr REGSAM KEY_READ = 0x20019;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_WRITE = 0x20006;
constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;
constexpr DWORD ERROR_NO_MORE_ITEMS = 259;

ZORVIK_API LSTATUS RegOpenKeyEx(HKEY key, const char* subKey, DWORD options, REGSAM access, HKEY* result);
ZORVIK_API LSTATUS RegQueryValueEx(HKEY key, const char* valueName, DWORD* reserved, DWORD* type, BYTE* data,
                                   DWORD* dataBytes);
ZORVIK_API LSTATUS RegEnumKeyEx(HKEY key, DWORD index, char* name, DWORD* nameChars, DWORD* reserved, char* className,
                                DWORD* classChars, void* lastWrite);
ZORVIK_API LSTATUS RegCloseKey(HKEY key);

namespace zk {

// The store in use (loading it on first use).
ZORVIK_API std::shared_ptr<const RegistryStore> current_registry();
// Installs a store and returns the previous one; null reloads from the environment next time.
ZORVIK_API std::shared_ptr<const RegistryStore> install_registry(std::shared_ptr<const RegistryStore> store);

// A 4-byte number stored as REG_DWORD, or as REG_BINARY of exactly four bytes, little-endian
// as Windows keeps it. Anything else (missing, another size or kind) is no number and leaves
// `out` as it was, so callers keep their defaults.
ZORVIK_API bool read_registry_dword(HKEY key, const char* name, DWORD& out);

// Keys the library opened and has not closed yet.
ZORVIK_API size_t open_registry_key_count();

class ZORVIK_API RegistryOverride {
public:
    explicit RegistryOverride(RegistryStore store);
    ~RegistryOverride();
    RegistryOverride(const RegistryOverride&) = delete;
    RegistryOverride& operator=(const RegistryOverride&) = delete;

private:
    std::shared_ptr<const RegistryStore> previous_;
};

} // namespace zk
