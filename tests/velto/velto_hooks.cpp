// The hooks of velto_hooks.h, each resolved in a running copy by the name
// the program declares it under.
#include "velto/velto_hooks.h"

#include "app/app.h"
#include "settings/settings.h"
#include "taskmenu/taskmenu.h"

#include <cxxabi.h>
#include <elf.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace velto_test {

namespace {

// The linker names of the functions the program image exports, by their
// plain names (a function's name without its parameters). C++ functions are
// known to the loader by mangled names only.
const std::map<std::string, std::string>& ExportedFunctions()
{
    static const std::map<std::string, std::string> names = [] {
        std::ifstream in(VELTO_IMAGE, std::ios::binary);
        std::vector<char> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (file.size() < sizeof(Elf64_Ehdr) || std::memcmp(file.data(), ELFMAG, SELFMAG) != 0)
            throw cesim::Error(std::string("hooks: cannot read the program image ") + VELTO_IMAGE);
        const auto* header = (const Elf64_Ehdr*)file.data();
        const auto* sections = (const Elf64_Shdr*)(file.data() + header->e_shoff);
        std::map<std::string, std::string> found;
        for (int i = 0; i < header->e_shnum; ++i) {
            if (sections[i].sh_type != SHT_DYNSYM)
                continue;
            const char* strings = file.data() + sections[sections[i].sh_link].sh_offset;
            const auto* symbols = (const Elf64_Sym*)(file.data() + sections[i].sh_offset);
            for (size_t k = 0; k < sections[i].sh_size / sizeof(Elf64_Sym); ++k) {
                if (ELF64_ST_TYPE(symbols[k].st_info) != STT_FUNC || symbols[k].st_shndx == SHN_UNDEF)
                    continue;
                const char* linker_name = strings + symbols[k].st_name;
                int status = 0;
                char* plain = abi::__cxa_demangle(linker_name, nullptr, nullptr, &status);
                std::string name = status == 0 ? plain : linker_name;
                std::free(plain);
                found[name.substr(0, name.find('('))] = linker_name;
            }
        }
        return found;
    }();
    return names;
}

template <typename Function>
Function* FindFunction(cesim::Device& device, DWORD velto, const std::string& name)
{
    auto it = ExportedFunctions().find(name);
    void* address = it == ExportedFunctions().end() ? nullptr : device.Symbol(velto, it->second);
    if (address == nullptr)
        throw cesim::Error("hooks: the program image exports no function " + name);
    return (Function*)address;
}

template <typename Value>
Value* FindValue(cesim::Device& device, DWORD velto, const std::string& name)
{
    void* address = device.Symbol(velto, name);  // values keep their plain names
    if (address == nullptr)
        throw cesim::Error("hooks: the program image exports no value " + name);
    return (Value*)address;
}

}  // namespace

// The program's declaration gives each hook its type and its name.
#define PROGRAM_FUNCTION(name) FindFunction<decltype(::name)>(device, velto, #name)
#define PROGRAM_VALUE(name) FindValue<decltype(::name)>(device, velto, #name)

LoadSettingsFunction LoadSettingsOf(cesim::Device& device, DWORD velto) { return PROGRAM_FUNCTION(LoadSettings); }

int LoadSettingsIn(cesim::Device& device, DWORD velto)
{
    LoadSettingsFunction load = LoadSettingsOf(device, velto);
    return (int)device.RunInProcess(velto, [load] { return (DWORD)load(); });
}

AppendStringItemFunction AppendStringItemOf(cesim::Device& device, DWORD velto)
{
    return PROGRAM_FUNCTION(AppendStringItem);
}

const volatile LONG* StopFlagOf(cesim::Device& device, DWORD velto) { return PROGRAM_VALUE(StopFlag); }

}  // namespace velto_test
