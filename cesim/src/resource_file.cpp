// The .res reader: a compiled resource file, its entries and its string table.
#include "world.h"

#include <cesim/resource_file.h>

#include <fstream>
#include <iterator>

namespace cesim {

namespace {

struct Reader {
    const uint8_t* data;
    size_t size;
    size_t at;
    const std::string& origin;

    [[noreturn]] void Bad(const std::string& what) const
    {
        throw Error("cesim: " + origin + " is not a valid resource file: " + what + " at offset " +
                    std::to_string(at));
    }
    void Need(size_t n) const
    {
        if (at + n > size)
            Bad("it ends in the middle of an entry");
    }
    WORD Word()
    {
        Need(2);
        WORD v = (WORD)(data[at] | data[at + 1] << 8);
        at += 2;
        return v;
    }
    DWORD Dword()
    {
        Need(4);
        DWORD v = (DWORD)data[at] | (DWORD)data[at + 1] << 8 | (DWORD)data[at + 2] << 16 | (DWORD)data[at + 3] << 24;
        at += 4;
        return v;
    }
    ResourceId Id()
    {
        ResourceId id;
        WORD first = Word();
        if (first == 0xFFFF) {
            id.number = Word();
            return id;
        }
        id.is_number = false;
        for (WORD c = first; c != 0; c = Word())
            id.text += (char16_t)c;
        return id;
    }
};

bool Matches(const ResourceId& id, WORD number) { return id.is_number && id.number == number; }

}  // namespace

ResourceFile ResourceFile::Parse(const uint8_t* data, size_t size, const std::string& origin)
{
    ResourceFile file;
    Reader r{data, size, 0, origin};
    while (r.at < size) {
        size_t start = r.at;
        DWORD data_size = r.Dword();
        DWORD header_size = r.Dword();
        if (header_size < 8 || start + header_size + data_size > size)
            r.Bad("an entry's sizes run past the end of the file");
        ResourceEntry e;
        e.type = r.Id();
        e.name = r.Id();
        r.at = (r.at + 3) & ~(size_t)3;
        r.Dword();  // data version
        e.memory_flags = r.Word();
        e.language = r.Word();
        r.at = start + header_size;
        e.data.assign(data + r.at, data + r.at + data_size);
        r.at = (r.at + data_size + 3) & ~(size_t)3;
        // The file opens with an empty entry that only marks its format.
        if (data_size == 0 && e.type.is_number && e.type.number == 0)
            continue;
        file.entries_.push_back(std::move(e));
    }
    return file;
}

ResourceFile ResourceFile::Read(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw Error("cesim: cannot open the resource file " + path);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return Parse(bytes.data(), bytes.size(), path);
}

const ResourceEntry* ResourceFile::Find(WORD type, WORD number) const
{
    for (auto& e : entries_) {
        if (Matches(e.type, type) && Matches(e.name, number))
            return &e;
    }
    return nullptr;
}

const ResourceEntry* ResourceFile::Find(WORD type, const std::u16string& name) const
{
    for (auto& e : entries_) {
        if (Matches(e.type, type) && !e.name.is_number && SameNoCase(e.name.text, name))
            return &e;
    }
    return nullptr;
}

std::optional<std::u16string> ResourceFile::String(UINT id) const
{
    const ResourceEntry* block = Find(6, (WORD)((id >> 4) + 1));
    if (block == nullptr)
        return std::nullopt;
    const auto& d = block->data;
    size_t at = 0;
    for (UINT i = 0; i <= (id & 15); ++i) {
        if (at + 2 > d.size())
            return std::nullopt;
        size_t length = d[at] | d[at + 1] << 8;
        at += 2;
        if (i == (id & 15)) {
            if (at + 2 * length > d.size())
                return std::nullopt;
            std::u16string s;
            for (size_t k = 0; k < length; ++k)
                s += (char16_t)(d[at + 2 * k] | d[at + 2 * k + 1] << 8);
            return s;
        }
        at += 2 * length;
    }
    return std::nullopt;
}

}  // namespace cesim
