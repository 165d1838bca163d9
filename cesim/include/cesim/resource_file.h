// Reader of compiled resource files (.res), as windres and rc write them.
//
// The same bytes are linked into velto.exe and embedded in the program image
// that the device loads, so what tests read here is what the program loads.
#pragma once

#include <cesim/device.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace cesim {

// A resource type or name: a number, or a string.
struct ResourceId {
    bool is_number = true;
    WORD number = 0;
    std::u16string text;
};

struct ResourceEntry {
    ResourceId type;
    ResourceId name;
    WORD language = 0;
    WORD memory_flags = 0;
    std::vector<uint8_t> data;
};

class ResourceFile {
public:
    // Throws Error naming origin and the offset when the data is malformed.
    static ResourceFile Parse(const uint8_t* data, size_t size, const std::string& origin);
    static ResourceFile Read(const std::string& path);

    const std::vector<ResourceEntry>& Entries() const { return entries_; }
    const ResourceEntry* Find(WORD type, WORD number) const;
    const ResourceEntry* Find(WORD type, const std::u16string& name) const;
    // A string of the string table; nullopt when its block does not exist.
    // A slot that holds no text gives the empty string.
    std::optional<std::u16string> String(UINT id) const;

private:
    std::vector<ResourceEntry> entries_;
};

}  // namespace cesim
