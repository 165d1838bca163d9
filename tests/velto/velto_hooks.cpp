// The hooks of velto_hooks.h, each found in a running copy by the plain name
// that tests/velto/image/hooks.cpp exports it under.
#include "velto/velto_hooks.h"

#include "app/app.h"
#include "settings/settings.h"
#include "taskmenu/taskmenu.h"

#include <string>

namespace velto_test {

namespace {

// The value the program image exports under this name, typed by the
// program's own declaration of what it points to.
template <typename Hook>
Hook Find(cesim::Device& device, DWORD velto, const std::string& name)
{
    void* address = device.Symbol(velto, name);
    if (address == nullptr)
        throw cesim::Error("hooks: the program image exports no " + name);
    return *(Hook*)address;
}

}  // namespace

LoadSettingsFunction LoadSettingsOf(cesim::Device& device, DWORD velto)
{
    return Find<decltype(&::LoadSettings)>(device, velto, "VeltoHookLoadSettings");
}

int LoadSettingsIn(cesim::Device& device, DWORD velto)
{
    LoadSettingsFunction load = LoadSettingsOf(device, velto);
    return (int)device.RunInProcess(velto, [load] { return (DWORD)load(); });
}

AppendStringItemFunction AppendStringItemOf(cesim::Device& device, DWORD velto)
{
    return Find<decltype(&::AppendStringItem)>(device, velto, "VeltoHookAppendStringItem");
}

const volatile LONG* StopFlagOf(cesim::Device& device, DWORD velto)
{
    return Find<decltype(&::StopFlag)>(device, velto, "VeltoHookStopFlag");
}

}  // namespace velto_test
