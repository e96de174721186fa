// The process calls of the screensaver: a pause, the environment, and the
// program's own resources, which the Linux programs have none of; the test
// stand-in registers some for the tests.
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <strings.h>
#include <thread>

#include "platform/winmodel/model.h"

struct HRSRC__ {
    std::string name, type;  // "#number" for a number, otherwise the name
    std::vector<unsigned char> bytes;
};

namespace {

std::deque<HRSRC__> resources;  // a resource's handle is its address: they stay put

// Names and types as resource calls take them: a small number in the
// pointer's place (MAKEINTRESOURCE), or a string, where "#10" means 10.
std::string ResourceKey(LPCSTR name) {
    const auto value = reinterpret_cast<UINT_PTR>(name);
    if (value <= 0xFFFF) {
        return "#" + std::to_string(value);
    }
    if (name[0] == '#') {
        return "#" + std::to_string(std::strtoul(name + 1, nullptr, 10));
    }
    return name;
}

HRSRC Known(HRSRC resource) {
    const auto found =
        std::find_if(resources.begin(), resources.end(), [&](HRSRC__& each) { return &each == resource; });
    return found != resources.end() ? &*found : nullptr;
}

}  // namespace

namespace winmodel {

void RegisterResource(LPCSTR name, LPCSTR type, const std::vector<unsigned char>& bytes) {
    resources.push_back(HRSRC__{ResourceKey(name), ResourceKey(type), bytes});
}

void ClearResources() { resources.clear(); }

}  // namespace winmodel

namespace platform {

void Sleep(DWORD milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

// The value's length without its NUL when it fits `size`, otherwise the size
// it needs with the NUL, as the real call; 0 when there is no such variable.
DWORD GetEnvironmentVariableA(LPCSTR name, LPSTR buffer, DWORD size) {
    const char* value = name != nullptr ? std::getenv(name) : nullptr;
    if (value == nullptr) {
        return 0;
    }
    const std::size_t length = std::strlen(value);
    if (buffer == nullptr || length >= size) {
        return static_cast<DWORD>(length + 1);
    }
    std::memcpy(buffer, value, length + 1);
    return static_cast<DWORD>(length);
}

HRSRC FindResourceA(HMODULE, LPCSTR name, LPCSTR type) {
    if (name == nullptr || type == nullptr) {
        return nullptr;
    }
    const std::string wantedName = ResourceKey(name);
    const std::string wantedType = ResourceKey(type);
    for (HRSRC__& each : resources) {
        if (strcasecmp(each.name.c_str(), wantedName.c_str()) == 0 &&
            strcasecmp(each.type.c_str(), wantedType.c_str()) == 0) {
            return &each;
        }
    }
    return nullptr;
}

// A loaded resource is its bytes in place, as in a mapped program image:
// nothing to give back.
HGLOBAL LoadResource(HMODULE, HRSRC resource) {
    return Known(resource) != nullptr ? static_cast<HGLOBAL>(resource) : nullptr;
}

LPVOID LockResource(HGLOBAL loaded) {
    HRSRC resource = Known(static_cast<HRSRC>(loaded));
    return resource != nullptr && !resource->bytes.empty() ? resource->bytes.data() : nullptr;
}

DWORD SizeofResource(HMODULE, HRSRC resource) {
    return Known(resource) != nullptr ? static_cast<DWORD>(resource->bytes.size()) : 0;
}

}  // namespace platform
