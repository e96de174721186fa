// The registry as an in-memory store: keys by path under each root, values
// by name (both without regard to case), each value its type and its bytes
// exactly as set. The Linux programs take their settings from their command
// lines, so nothing here outlives the process.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <set>

#include "platform/winmodel/model.h"

struct HKEY__ {
    std::string path;  // the root's number, then "\" and the lowercase subkey path
    bool writable;
};

namespace {

struct Value {
    DWORD type;
    std::vector<BYTE> bytes;
};

std::map<std::string, std::map<std::string, Value>> keys;  // by lowercase path
std::set<HKEY> openKeys;

constexpr LONG kAccessDenied = 5;
constexpr DWORD kCreatedNewKey = 1;
constexpr DWORD kOpenedExistingKey = 2;

std::string Lower(const char* text) {
    std::string lower(text != nullptr ? text : "");
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

// The path a subkey of `key` names; false for no open key or root. Empty
// parts ("a\\\\b", a leading or trailing "\\") are not names.
bool PathOf(HKEY key, LPCSTR subKey, std::string* path) {
    // The roots are 32-bit numbers from 0x80000000, sign-extended in a wider
    // pointer.
    const auto root = static_cast<std::uint32_t>(reinterpret_cast<UINT_PTR>(key));
    if (openKeys.count(key) != 0) {
        *path = key->path;
    } else if (root >= 0x80000000U && root <= 0x80000006U) {
        *path = std::to_string(root);
    } else {
        return false;
    }
    std::string rest = Lower(subKey);
    for (std::size_t start = 0; start <= rest.size();) {
        const std::size_t end = std::min(rest.find('\\', start), rest.size());
        if (end == start) {
            return rest.empty();
        }
        *path += "\\" + rest.substr(start, end - start);
        start = end + 1;
    }
    return true;
}

LONG Open(const std::string& path, bool writable, HKEY* result) {
    HKEY opened = new HKEY__{path, writable};
    openKeys.insert(opened);
    ++winmodel::Counts().registryKeys;
    *result = opened;
    return ERROR_SUCCESS;
}

}  // namespace

namespace winmodel {

void ClearRegistry() {
    for (HKEY key : openKeys) {
        delete key;
    }
    openKeys.clear();
    keys.clear();
    Counts().registryKeys = 0;
}

}  // namespace winmodel

namespace platform {

LONG RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD, LPSTR, DWORD, REGSAM access, SECURITY_ATTRIBUTES*,
                     HKEY* result, DWORD* disposition) {
    std::string path;
    if (result == nullptr || subKey == nullptr || !PathOf(key, subKey, &path)) {
        return result == nullptr ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE;
    }
    if (disposition != nullptr) {
        *disposition = keys.count(path) != 0 ? kOpenedExistingKey : kCreatedNewKey;
    }
    // Every key on the way exists from now on.
    for (std::size_t at = path.find('\\'); at != std::string::npos; at = path.find('\\', at + 1)) {
        keys[path.substr(0, at)];
    }
    keys[path];
    return Open(path, (access & KEY_SET_VALUE) != 0, result);
}

LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD, REGSAM access, HKEY* result) {
    std::string path;
    if (result == nullptr || !PathOf(key, subKey, &path)) {
        return result == nullptr ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE;
    }
    if (keys.count(path) == 0) {
        return ERROR_FILE_NOT_FOUND;
    }
    return Open(path, (access & KEY_SET_VALUE) != 0, result);
}

// As the real call: the stored bytes as they are (a string may lack its NUL),
// the size needed when `data` is null or too small.
LONG RegQueryValueExA(HKEY key, LPCSTR name, DWORD* reserved, DWORD* type, BYTE* data, DWORD* size) {
    if (openKeys.count(key) == 0) {
        return ERROR_INVALID_HANDLE;
    }
    if (reserved != nullptr || (data != nullptr && size == nullptr)) {
        return ERROR_INVALID_PARAMETER;
    }
    const auto& values = keys[key->path];
    const auto found = values.find(Lower(name));
    if (found == values.end()) {
        return ERROR_FILE_NOT_FOUND;
    }
    const Value& value = found->second;
    if (type != nullptr) {
        *type = value.type;
    }
    if (size == nullptr) {
        return ERROR_SUCCESS;
    }
    const auto needed = static_cast<DWORD>(value.bytes.size());
    const bool fits = *size >= needed;
    if (data != nullptr && fits && needed > 0) {
        std::memcpy(data, value.bytes.data(), needed);
    }
    *size = needed;
    return data != nullptr && !fits ? ERROR_MORE_DATA : ERROR_SUCCESS;
}

LONG RegSetValueExA(HKEY key, LPCSTR name, DWORD, DWORD type, const BYTE* data, DWORD size) {
    if (openKeys.count(key) == 0) {
        return ERROR_INVALID_HANDLE;
    }
    if (!key->writable) {
        return kAccessDenied;
    }
    if (data == nullptr && size != 0) {
        return ERROR_INVALID_PARAMETER;
    }
    keys[key->path][Lower(name)] = Value{type, std::vector<BYTE>(data, data + size)};
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key) {
    if (openKeys.erase(key) == 0) {
        return ERROR_INVALID_HANDLE;
    }
    delete key;
    --winmodel::Counts().registryKeys;
    return ERROR_SUCCESS;
}

}  // namespace platform
