// Modules and their resources: the Win32 calls that find a program's module
// and load its strings, icons, bitmaps and raw resources.
#include "resources.h"

#include "gdi.h"

#include <algorithm>
#include <cstdlib>

namespace cesim {

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

}  // extern "C"

}  // namespace cesim
