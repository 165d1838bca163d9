// Registry: the Win32 calls a program makes, and the test's view of the store.
//
// Key and value names compare without regard to case. Windows CE ignores the
// access mask of an open key, and so does the device. A value read into a
// buffer that is too small fails with ERROR_MORE_DATA and leaves the buffer
// untouched.
//
// A key that RegCreateKeyExW creates with REG_OPTION_VOLATILE (every key the
// call creates on its way included) lasts until the device restarts; the
// option is ignored for a key that already exists. As on Windows, a key that
// is not volatile cannot be created under a volatile one
// (ERROR_CHILD_MUST_BE_VOLATILE). Windows CE lists no other option; the
// device, like Wine, passes over other bits.
//
// A write reaches storage only when its key is flushed (RegFlushKey), as the
// hive-based registry of Windows CE may write its changes no sooner: a restart
// of the device loses the keys and values written since their key's last
// flush, and a value rewritten since goes back to what was flushed. Flushing a
// key stores the keys on its path too (but not their values). What the test
// writes is in storage at once.
#include "registry.h"

#include <algorithm>

namespace cesim {

namespace {

std::vector<Text> SplitPath(const Text& path)
{
    std::vector<Text> parts;
    Text part;
    for (char16_t c : path) {
        if (c == u'\\') {
            if (!part.empty())
                parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty())
        parts.push_back(part);
    return parts;
}

Text Join(const std::vector<Text>& parts)
{
    Text out;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i)
            out += u'\\';
        out += parts[i];
    }
    return out;
}

std::string Folded(const Text& s)
{
    Text f = s;
    for (auto& c : f)
        c = FoldCase(c);
    return Utf8(f);
}

RegKey* Root(World::RegistryData& r, const Text& name)
{
    if (SameNoCase(name, u"HKEY_CURRENT_USER") || SameNoCase(name, u"HKCU"))
        return &r.current_user;
    if (SameNoCase(name, u"HKEY_LOCAL_MACHINE") || SameNoCase(name, u"HKLM"))
        return &r.local_machine;
    return nullptr;
}

RegKey* Child(RegKey* key, const Text& name, bool create)
{
    for (auto& k : key->subkeys) {
        if (SameNoCase(k->name, name))
            return k.get();
    }
    if (!create)
        return nullptr;
    key->subkeys.push_back(std::make_unique<RegKey>());
    key->subkeys.back()->name = name;
    return key->subkeys.back().get();
}

// The deepest key of a full path (root first) that exists, and in *found how
// many parts of the path it takes in; null when the root is none.
RegKey* Deepest(World::RegistryData& r, const std::vector<Text>& parts, size_t* found)
{
    *found = 0;
    RegKey* key = parts.empty() ? nullptr : Root(r, parts[0]);
    if (key == nullptr)
        return nullptr;
    size_t i = 1;
    for (; i < parts.size(); ++i) {
        RegKey* next = Child(key, parts[i], false);
        if (next == nullptr)
            break;
        key = next;
    }
    *found = i;
    return key;
}

// Creates the keys of a full path past the first `found` parts, under `key`
// (the deepest that exists), volatile or not as asked; the last of them.
RegKey* CreateRest(RegKey* key, const std::vector<Text>& parts, size_t found, bool make_volatile)
{
    for (size_t i = found; i < parts.size(); ++i) {
        key = Child(key, parts[i], true);
        key->is_volatile = make_volatile;
    }
    return key;
}

// Resolves a full path (root first); null when a key on the way is missing
// and not to be created (the test's own keys, which are never volatile).
RegKey* Resolve(World::RegistryData& r, const std::vector<Text>& parts, bool create)
{
    size_t found;
    RegKey* key = Deepest(r, parts, &found);
    if (key == nullptr || (found < parts.size() && !create))
        return nullptr;
    return CreateRest(key, parts, found, false);
}

// The canonical form of a path: root spelled out, components as given.
std::vector<Text> Canonical(const std::vector<Text>& parts)
{
    std::vector<Text> out = parts;
    if (!out.empty()) {
        if (SameNoCase(out[0], u"HKCU") || SameNoCase(out[0], u"HKEY_CURRENT_USER"))
            out[0] = u"HKEY_CURRENT_USER";
        if (SameNoCase(out[0], u"HKLM") || SameNoCase(out[0], u"HKEY_LOCAL_MACHINE"))
            out[0] = u"HKEY_LOCAL_MACHINE";
    }
    return out;
}

RegValueEntry* FindValue(RegKey* key, const Text& name)
{
    for (auto& v : key->values) {
        if (SameNoCase(v.name, name))
            return &v;
    }
    return nullptr;
}

// Writes a value into a list of values, replacing one of the same name.
void PutValue(std::vector<RegValueEntry>& values, const Text& name, const RegistryValue& value)
{
    for (auto& v : values) {
        if (SameNoCase(v.name, name)) {
            v.value = value;
            return;
        }
    }
    values.push_back(RegValueEntry{name, value});
}

// Marks every key on a full path (root first) as in storage.
void StorePath(World::RegistryData& r, const std::vector<Text>& parts)
{
    RegKey* key = Root(r, parts[0]);
    for (size_t i = 1; i < parts.size() && key != nullptr; ++i) {
        key = Child(key, parts[i], false);
        if (key != nullptr)
            key->stored = true;
    }
}

// The full path of an open key handle or a predefined root.
bool KeyPath(World& w, HKEY key, std::vector<Text>& parts)
{
    uintptr_t k = (uintptr_t)key;
    if (k == (uintptr_t)HKEY_CURRENT_USER) {
        parts = {u"HKEY_CURRENT_USER"};
        return true;
    }
    if (k == (uintptr_t)HKEY_LOCAL_MACHINE) {
        parts = {u"HKEY_LOCAL_MACHINE"};
        return true;
    }
    HandleEntry* h = w.FindHandle((HANDLE)key, HandleEntry::REGISTRY);
    if (h == nullptr)
        return false;
    parts = SplitPath(U16(h->key_path));
    return true;
}

bool IsRoot(HKEY key)
{
    return key == HKEY_CURRENT_USER || key == HKEY_LOCAL_MACHINE || key == HKEY_CLASSES_ROOT || key == HKEY_USERS;
}

// The test's path, checked: a known root and at least that.
std::vector<Text> TestPath(const std::string& path)
{
    std::vector<Text> parts = Canonical(SplitPath(U16(path)));
    if (parts.empty() || (parts[0] != u"HKEY_CURRENT_USER" && parts[0] != u"HKEY_LOCAL_MACHINE"))
        throw Error("cesim: registry path '" + path +
                    "' must start with HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKCU or HKLM");
    return parts;
}

LONG OpenOrCreate(HKEY key, LPCWSTR subKey, PHKEY result, LPDWORD disposition, bool create, DWORD options,
                  const char* call_name)
{
    Call c(call_name);
    if (result == nullptr)
        return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    std::vector<Text> parts;
    if (!KeyPath(c.w, key, parts))
        return ERROR_INVALID_HANDLE;
    for (auto& p : SplitPath(ToText(subKey)))
        parts.push_back(p);
    auto& r = *c.w.registry;
    auto fault = r.failing_keys.find(Folded(Join(parts)));
    if (fault != r.failing_keys.end() && fault->second != 0) {
        if (fault->second > 0)
            --fault->second;
        return ERROR_ACCESS_DENIED;
    }
    size_t found;
    RegKey* k = Deepest(r, parts, &found);
    const bool missing = found < parts.size();
    if (k == nullptr || (missing && !create))
        return ERROR_FILE_NOT_FOUND;
    const bool make_volatile = (options & REG_OPTION_VOLATILE) != 0;
    if (missing && k->is_volatile && !make_volatile)
        return ERROR_CHILD_MUST_BE_VOLATILE;
    k = CreateRest(k, parts, found, make_volatile);
    if (disposition)
        *disposition = missing ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    HandleEntry entry{HandleEntry::REGISTRY, c.self->process, nullptr, Utf8(Join(parts))};
    *result = (HKEY)c.w.NewHandle(entry);
    return ERROR_SUCCESS;
}

// The key behind an open handle, or an error code.
LONG OpenedKey(World& w, HKEY key, RegKey** out, std::vector<Text>* path = nullptr)
{
    std::vector<Text> parts;
    if (!KeyPath(w, key, parts))
        return ERROR_INVALID_HANDLE;
    RegKey* k = Resolve(*w.registry, parts, false);
    if (k == nullptr)
        return ERROR_KEY_DELETED;
    *out = k;
    if (path)
        *path = parts;
    return ERROR_SUCCESS;
}

}  // namespace

// ---------------------------------------------------------------- Win32

extern "C" {

LONG WINAPI RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD, LPWSTR, DWORD options, REGSAM, LPSECURITY_ATTRIBUTES,
                            PHKEY result, LPDWORD disposition)
{
    return OpenOrCreate(key, subKey, result, disposition, true, options, "RegCreateKeyExW");
}

LONG WINAPI RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD, REGSAM, PHKEY result)
{
    return OpenOrCreate(key, subKey, result, nullptr, false, 0, "RegOpenKeyExW");
}

LONG WINAPI RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD, LPDWORD type, LPBYTE data, LPDWORD size)
{
    Call c("RegQueryValueExW");
    RegKey* k;
    if (LONG e = OpenedKey(c.w, key, &k))
        return e;
    RegValueEntry* v = FindValue(k, ToText(valueName));
    if (v == nullptr)
        return ERROR_FILE_NOT_FOUND;
    if (data != nullptr && size == nullptr)
        return ERROR_INVALID_PARAMETER;
    DWORD needed = (DWORD)v->value.data.size();
    if (type)
        *type = v->value.type;
    if (data == nullptr) {
        if (size)
            *size = needed;
        return ERROR_SUCCESS;
    }
    if (*size < needed) {
        *size = needed;
        return ERROR_MORE_DATA;
    }
    std::copy(v->value.data.begin(), v->value.data.end(), data);
    *size = needed;
    return ERROR_SUCCESS;
}

LONG WINAPI RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD, DWORD type, const BYTE* data, DWORD size)
{
    Call c("RegSetValueExW");
    RegKey* k;
    std::vector<Text> path;
    if (LONG e = OpenedKey(c.w, key, &k, &path))
        return e;
    if (data == nullptr && size != 0)
        return ERROR_INVALID_PARAMETER;
    Text name = ToText(valueName);
    if (c.w.registry->failing_writes.count(Folded(Join(path)) + "|" + Folded(name)))
        return ERROR_ACCESS_DENIED;
    PutValue(k->values, name, RegistryValue{type, std::vector<uint8_t>(data, data + size)});
    return ERROR_SUCCESS;
}

LONG WINAPI RegFlushKey(HKEY key)
{
    Call c("RegFlushKey");
    RegKey* k;
    std::vector<Text> path;
    if (LONG e = OpenedKey(c.w, key, &k, &path))
        return e;
    k->stored_values = k->values;
    StorePath(*c.w.registry, path);
    return ERROR_SUCCESS;
}

LONG WINAPI RegCloseKey(HKEY key)
{
    Call c("RegCloseKey");
    if (IsRoot(key))
        return ERROR_SUCCESS;
    if (c.w.FindHandle((HANDLE)key, HandleEntry::REGISTRY) == nullptr)
        return ERROR_INVALID_HANDLE;
    c.w.CloseHandleEntry(c.lk, (HANDLE)key);
    return ERROR_SUCCESS;
}

}  // extern "C"

// ---------------------------------------------------------------- the test's view

namespace {

RegKey* TestKey(World& w, const std::string& path, bool create)
{
    RegKey* k = Resolve(*w.registry, TestPath(path), create);
    if (k == nullptr && !create)
        throw Error("cesim: registry key '" + path + "' does not exist");
    return k;
}

}  // namespace

void Device::RegSet(const std::string& key, const std::u16string& name, DWORD type, const std::vector<uint8_t>& data)
{
    World& w = World::Get();
    Lock lk(w.mu);
    RegKey* k = TestKey(w, key, true);
    PutValue(k->values, name, RegistryValue{type, data});
    PutValue(k->stored_values, name, RegistryValue{type, data});
    StorePath(*w.registry, TestPath(key));
}

void Device::RegSetDword(const std::string& key, const std::u16string& name, DWORD value)
{
    std::vector<uint8_t> data(4);
    for (int i = 0; i < 4; ++i)
        data[i] = (uint8_t)(value >> (8 * i));
    RegSet(key, name, REG_DWORD, data);
}

void Device::RegSetString(const std::string& key, const std::u16string& name, const std::u16string& text)
{
    std::vector<uint8_t> data;
    for (char16_t ch : text) {
        data.push_back((uint8_t)(ch & 0xFF));
        data.push_back((uint8_t)(ch >> 8));
    }
    data.push_back(0);
    data.push_back(0);
    RegSet(key, name, REG_SZ, data);
}

std::optional<RegistryValue> Device::RegGet(const std::string& key, const std::u16string& name) const
{
    World& w = World::Get();
    Lock lk(w.mu);
    RegKey* k = Resolve(*w.registry, TestPath(key), false);
    if (k == nullptr)
        return std::nullopt;
    RegValueEntry* v = FindValue(k, name);
    if (v == nullptr)
        return std::nullopt;
    return v->value;
}

std::optional<DWORD> Device::RegGetDword(const std::string& key, const std::u16string& name) const
{
    auto v = RegGet(key, name);
    if (!v)
        return std::nullopt;
    if (v->type != REG_DWORD || v->data.size() != 4)
        throw Error("cesim: registry value '" + Utf8(name) + "' under " + key + " is not a 4-byte REG_DWORD");
    return (DWORD)v->data[0] | (DWORD)v->data[1] << 8 | (DWORD)v->data[2] << 16 | (DWORD)v->data[3] << 24;
}

std::optional<std::u16string> Device::RegGetString(const std::string& key, const std::u16string& name) const
{
    auto v = RegGet(key, name);
    if (!v)
        return std::nullopt;
    if (v->type != REG_SZ || v->data.size() % 2 != 0 || v->data.size() < 2 || v->data[v->data.size() - 1] != 0 ||
        v->data[v->data.size() - 2] != 0)
        throw Error("cesim: registry value '" + Utf8(name) + "' under " + key +
                    " is not a REG_SZ ending in its terminating null");
    std::u16string text;
    for (size_t i = 0; i + 2 < v->data.size(); i += 2)
        text += (char16_t)(v->data[i] | v->data[i + 1] << 8);
    return text;
}

void Device::RegDeleteValue(const std::string& key, const std::u16string& name)
{
    World& w = World::Get();
    Lock lk(w.mu);
    RegKey* k = TestKey(w, key, false);
    auto named = [&](const RegValueEntry& v) { return SameNoCase(v.name, name); };
    auto stored = std::remove_if(k->stored_values.begin(), k->stored_values.end(), named);
    k->stored_values.erase(stored, k->stored_values.end());
    for (auto it = k->values.begin(); it != k->values.end(); ++it) {
        if (named(*it)) {
            k->values.erase(it);
            return;
        }
    }
    throw Error("cesim: registry value '" + Utf8(name) + "' does not exist under " + key);
}

void Device::RegDeleteKey(const std::string& key)
{
    World& w = World::Get();
    Lock lk(w.mu);
    std::vector<Text> parts = TestPath(key);
    if (parts.size() < 2)
        throw Error("cesim: a registry root cannot be deleted: " + key);
    RegKey* parent = Resolve(*w.registry, std::vector<Text>(parts.begin(), parts.end() - 1), false);
    if (parent != nullptr) {
        for (auto it = parent->subkeys.begin(); it != parent->subkeys.end(); ++it) {
            if (SameNoCase((*it)->name, parts.back())) {
                parent->subkeys.erase(it);
                return;
            }
        }
    }
    throw Error("cesim: registry key '" + key + "' does not exist");
}

bool Device::RegKeyExists(const std::string& key) const
{
    World& w = World::Get();
    Lock lk(w.mu);
    return Resolve(*w.registry, TestPath(key), false) != nullptr;
}

std::vector<std::u16string> Device::RegValueNames(const std::string& key) const
{
    World& w = World::Get();
    Lock lk(w.mu);
    std::vector<std::u16string> names;
    for (auto& v : TestKey(w, key, false)->values)
        names.push_back(v.name);
    return names;
}

void Device::FailKeyOpen(const std::string& key, int times)
{
    if (times < -1)
        throw Error("cesim: FailKeyOpen takes a number of attempts, or -1 for all of them");
    World& w = World::Get();
    Lock lk(w.mu);
    w.registry->failing_keys[Folded(Join(TestPath(key)))] = times;
}

void Device::FailValueWrite(const std::string& key, const std::u16string& name)
{
    World& w = World::Get();
    Lock lk(w.mu);
    w.registry->failing_writes.insert(Folded(Join(TestPath(key))) + "|" + Folded(name));
}

void Device::ClearRegistryFaults()
{
    World& w = World::Get();
    Lock lk(w.mu);
    w.registry->failing_keys.clear();
    w.registry->failing_writes.clear();
}

namespace {

// What a restart leaves of a key: the keys under it that are in storage and
// not volatile, each with its values as last flushed.
void KeepStored(RegKey& key)
{
    key.values = key.stored_values;
    auto& subkeys = key.subkeys;
    auto lost = [](const auto& k) { return k->is_volatile || !k->stored; };
    subkeys.erase(std::remove_if(subkeys.begin(), subkeys.end(), lost), subkeys.end());
    for (auto& k : subkeys)
        KeepStored(*k);
}

}  // namespace

void Device::RestartRegistry()
{
    World& w = World::Get();
    Lock lk(w.mu);
    for (auto& p : w.processes) {
        if (!p->fixture && !p->exited)
            throw Error("cesim: RestartRegistry: " + Utf8(p->exe_name) + " (process " + std::to_string(p->id) +
                        ") is still running, and no program outlives a restart of the device");
    }
    KeepStored(w.registry->current_user);
    KeepStored(w.registry->local_machine);
}

}  // namespace cesim
