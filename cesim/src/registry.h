// The registry of the simulated device: keys and typed values in memory.
#pragma once

#include "world.h"

#include <set>

namespace cesim {

struct RegValueEntry {
    Text name;
    RegistryValue value;
};

struct RegKey {
    Text name;
    std::vector<RegValueEntry> values;  // in the order they were first written
    std::vector<std::unique_ptr<RegKey>> subkeys;
    bool is_volatile = false;  // created REG_OPTION_VOLATILE: gone when the device restarts
    // What outlives a restart: whether the key itself is in storage (it, or a key
    // under it, was flushed, or the test made it), and its values as last flushed.
    bool stored = false;
    std::vector<RegValueEntry> stored_values;
};

struct World::RegistryData {
    RegKey current_user{u"HKEY_CURRENT_USER", {}, {}, false, true, {}};
    RegKey local_machine{u"HKEY_LOCAL_MACHINE", {}, {}, false, true, {}};
    std::map<std::string, int> failing_keys;  // folded path: attempts left to fail, -1 for all
    std::set<std::string> failing_writes;  // folded path, '|', folded value name
};

}  // namespace cesim
