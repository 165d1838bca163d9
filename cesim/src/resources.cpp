// Resources: the .res reader, program images, and the Win32 resource calls.
#include "resources.h"

#include "gdi.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>

namespace cesim {

// ---------------------------------------------------------------- .res files

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

// ---------------------------------------------------------------- program images

static std::mutex image_files_mutex;
static std::map<void*, int> image_files;  // loaded image: its private copy

void* OpenImage(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw Error("cesim: cannot open the program image " + path);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // A private copy, so that the loader maps a new image with its own globals
    // instead of handing back the one another process already uses.
    int fd = memfd_create("program-image", MFD_CLOEXEC);
    if (fd < 0)
        throw Error("cesim: cannot make a copy of the program image " + path);
    size_t written = 0;
    while (written < bytes.size()) {
        ssize_t n = write(fd, bytes.data() + written, bytes.size() - written);
        if (n <= 0) {
            close(fd);
            throw Error("cesim: cannot make a copy of the program image " + path);
        }
        written += (size_t)n;
    }
    // The loader knows a library by its path, so the copy stays open (and its
    // path unique) for as long as the image is loaded.
    std::string fd_path = "/proc/self/fd/" + std::to_string(fd);
    void* image = dlopen(fd_path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (image == nullptr) {
        close(fd);
        throw Error("cesim: cannot load the program image " + path + ": " + dlerror());
    }
    std::lock_guard<std::mutex> lock(image_files_mutex);
    image_files[image] = fd;
    return image;
}

void* FindImageSymbol(void* image, const char* name) { return dlsym(image, name); }

void CloseImage(void* image)
{
    dlclose(image);
    std::lock_guard<std::mutex> lock(image_files_mutex);
    auto it = image_files.find(image);
    if (it != image_files.end()) {
        close(it->second);
        image_files.erase(it);
    }
}

std::shared_ptr<const ResourceSet> LoadImageResources(void* image, const std::string& path)
{
    auto begin = (const uint8_t*)dlsym(image, "cesim_resources");
    auto end = (const uint8_t*)dlsym(image, "cesim_resources_end");
    if (begin == nullptr || end == nullptr || end < begin)
        throw Error("cesim: the program image " + path + " carries no compiled resources");
    auto set = std::make_shared<ResourceSet>();
    set->file = ResourceFile::Parse(begin, (size_t)(end - begin), path + " (resources)");
    return set;
}

// ---------------------------------------------------------------- Win32

namespace {

// The process whose module a handle names; null names the caller's own.
Process* ModuleProcess(Call& c, HINSTANCE instance)
{
    if (instance == nullptr)
        return c.self->process;
    return c.w.ProcessOfModule(instance);
}

// As above; Windows CE also takes a process handle for the module of that process.
Process* ModuleOrProcess(Call& c, HMODULE module)
{
    HandleEntry* e = c.w.FindHandle((HANDLE)module, HandleEntry::KERNEL);
    if (e != nullptr && e->owner == c.self->process && e->object->kind == KernelObject::PROCESS)
        return e->object->process->exited ? nullptr : e->object->process;
    return ModuleProcess(c, module);
}

const ResourceEntry* FindIn(Process* p, WORD type, LPCWSTR name)
{
    if (p == nullptr || !p->resources)
        return nullptr;
    if (IS_INTRESOURCE(name))
        return p->resources->file.Find(type, (WORD)(uintptr_t)name);
    return p->resources->file.Find(type, Text(name));
}

DWORD Le32(const std::vector<uint8_t>& d, size_t at)
{
    return (DWORD)d[at] | (DWORD)d[at + 1] << 8 | (DWORD)d[at + 2] << 16 | (DWORD)d[at + 3] << 24;
}

WORD Le16(const std::vector<uint8_t>& d, size_t at) { return (WORD)(d[at] | d[at + 1] << 8); }

}  // namespace

extern "C" {

HMODULE WINAPI GetModuleHandleW(LPCWSTR moduleName)
{
    Call c("GetModuleHandleW");
    Process* p = c.self->process;
    if (moduleName == nullptr || SameNoCase(moduleName, p->exe_name) || SameNoCase(moduleName, p->path))
        return p->module;
    SetError(c.self, ERROR_FILE_NOT_FOUND);
    return nullptr;
}

DWORD WINAPI GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD capacity)
{
    Call c("GetModuleFileNameW");
    Process* p = ModuleOrProcess(c, module);
    if (p == nullptr || buffer == nullptr || capacity == 0 || p->path.empty()) {
        SetError(c.self, ERROR_INVALID_HANDLE);
        return 0;
    }
    DWORD n = std::min((DWORD)p->path.size(), capacity - 1);
    std::copy(p->path.begin(), p->path.begin() + n, buffer);
    buffer[n] = 0;
    return n;
}

int WINAPI LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int capacity)
{
    Call c("LoadStringW");
    Process* p = ModuleProcess(c, instance);
    if (p == nullptr || !p->resources) {
        SetError(c.self, ERROR_RESOURCE_DATA_NOT_FOUND);
        return 0;
    }
    auto text = p->resources->file.String(id);
    if (!text) {
        SetError(c.self, ERROR_RESOURCE_NAME_NOT_FOUND);
        return 0;
    }
    if (buffer == nullptr || capacity <= 0)
        return 0;
    int n = std::min((int)text->size(), capacity - 1);
    std::copy(text->begin(), text->begin() + n, buffer);
    buffer[n] = 0;
    return n;
}

HICON WINAPI LoadIconW(HINSTANCE instance, LPCWSTR name)
{
    Call c("LoadIconW");
    // Without an instance the platform loads one of its own icons, never a
    // program's; the device has none of its own.
    Process* p = instance == nullptr ? nullptr : ModuleProcess(c, instance);
    const ResourceEntry* group = FindIn(p, 14, name);
    if (group == nullptr || group->data.size() < 6) {
        SetError(c.self, ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    auto& gdi = *c.w.gdi;
    int group_id = group->name.is_number ? group->name.number : 0;
    auto shared = gdi.shared_icons.find({p, group_id});
    if (shared != gdi.shared_icons.end())
        return shared->second;
    // Pick the image nearest the system's icon size, 32 x 32.
    const auto& d = group->data;
    WORD count = Le16(d, 4);
    int best = -1, best_distance = 1 << 30;
    for (WORD i = 0; i < count && 6 + 14 * (size_t)(i + 1) <= d.size(); ++i) {
        int width = d[6 + 14 * i] == 0 ? 256 : d[6 + 14 * i];
        int distance = std::abs(width - 32);
        if (distance < best_distance) {
            best = i;
            best_distance = distance;
        }
    }
    if (best < 0) {
        SetError(c.self, ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    const ResourceEntry* image = p->resources->file.Find(3, Le16(d, 6 + 14 * (size_t)best + 12));
    if (image == nullptr || image->data.size() < 40) {
        SetError(c.self, ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    IconObject icon{group_id, (int)Le32(image->data, 4), (int)Le32(image->data, 8) / 2, Le16(image->data, 14),
                    p};
    HICON h = (HICON)gdi.NewObject(World::GdiData::ICON);
    gdi.icons[(uintptr_t)h] = icon;
    gdi.shared_icons[{p, group_id}] = h;
    return h;
}

HBITMAP WINAPI LoadBitmapW(HINSTANCE instance, LPCWSTR name)
{
    Call c("LoadBitmapW");
    // Without an instance the platform loads one of its own bitmaps, never a
    // program's; the device has none of its own.
    Process* p = instance == nullptr ? nullptr : ModuleProcess(c, instance);
    const ResourceEntry* e = FindIn(p, 2, name);
    if (e == nullptr || e->data.size() < 40) {
        SetError(c.self, ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    LONG height = (LONG)Le32(e->data, 8);
    BitmapObject bitmap{e->name.is_number ? e->name.number : 0, (int)Le32(e->data, 4), height < 0 ? -height : height,
                        Le16(e->data, 14), p};
    HBITMAP h = (HBITMAP)c.w.gdi->NewObject(World::GdiData::BITMAP);
    c.w.gdi->bitmaps[(uintptr_t)h] = bitmap;
    return h;
}

HRSRC WINAPI FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type)
{
    Call c("FindResourceW");
    if (!IS_INTRESOURCE(type)) {
        SetError(c.self, ERROR_RESOURCE_TYPE_NOT_FOUND);
        return nullptr;
    }
    const ResourceEntry* e = FindIn(ModuleProcess(c, module), (WORD)(uintptr_t)type, name);
    if (e == nullptr)
        SetError(c.self, ERROR_RESOURCE_NAME_NOT_FOUND);
    return (HRSRC)e;
}

HGLOBAL WINAPI LoadResource(HMODULE, HRSRC resource)
{
    Call c("LoadResource");
    if (resource == nullptr)
        return nullptr;
    return (HGLOBAL)((const ResourceEntry*)resource)->data.data();
}

DWORD WINAPI SizeofResource(HMODULE, HRSRC resource)
{
    Call c("SizeofResource");
    if (resource == nullptr)
        return 0;
    return (DWORD)((const ResourceEntry*)resource)->data.size();
}

BOOL WINAPI DestroyIcon(HICON icon)
{
    Call c("DestroyIcon");
    auto& gdi = *c.w.gdi;
    auto it = gdi.icons.find((uintptr_t)icon);
    if (it == gdi.icons.end())
        return FALSE;
    // Icons loaded from resources are shared and outlive DestroyIcon.
    for (auto& s : gdi.shared_icons) {
        if (s.second == icon)
            return TRUE;
    }
    gdi.icons.erase(it);
    return TRUE;
}

// A program file carries at most one icon; its small image is 16 x 16. Each
// icon extracted is a new one that the caller owns until DestroyIcon. As on
// Windows CE, icons are extracted one at a time: any other count fails.
UINT WINAPI ExtractIconExW(LPCWSTR file, int index, HICON* large, HICON* small, UINT count)
{
    Call c("ExtractIconExW");
    const ProgramFile* found = nullptr;
    for (auto& f : c.w.program_files) {
        if (file != nullptr && SameNoCase(f.first, file))
            found = &f.second;
    }
    if (found == nullptr) {
        SetError(c.self, ERROR_FILE_NOT_FOUND);
        return 0;
    }
    UINT icons = found->images.empty() ? 0 : 1;
    if (index == -1)
        return icons;
    if (count != 1) {
        SetError(c.self, ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (index != 0 || icons == 0)
        return 0;
    // Each size takes the image nearest it, as it is: the first of equally near ones.
    auto nearest = [&](LONG size) {
        const SIZE* best = &found->images.front();
        for (const SIZE& image : found->images) {
            if (std::labs(image.cx - size) + std::labs(image.cy - size) <
                std::labs(best->cx - size) + std::labs(best->cy - size))
                best = &image;
        }
        return NewIcon(c.w, IconObject{0, (int)best->cx, (int)best->cy, 4, c.self->process});
    };
    UINT extracted = 0;
    if (large != nullptr) {
        *large = nearest(32);
        extracted = 1;
    }
    if (small != nullptr) {
        *small = nearest(16);
        extracted = 1;
    }
    return extracted;
}

}  // extern "C"

}  // namespace cesim
