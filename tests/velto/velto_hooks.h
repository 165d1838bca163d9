// The few places where a test reaches inside a running copy of Velto instead
// of acting on it as the user, the shell or another program would; every
// other test works through what Velto does. The program image exports each
// hook under a plain name (tests/velto/image/hooks.cpp), taken from the
// program's own declaration, so that renaming a function or a value, or
// changing its type, fails to compile; a hook that the image does not export
// fails the test with a message that names it.
#pragma once

#include <cesim/device.h>

namespace velto_test {

// Velto's settings load, to run on a thread of a running copy. Opening the
// task menu is how a running copy reloads its settings, and the tests use
// that; the load itself serves the race check, which must reload at the very
// moment the monitor wakes and from a thread of its own, the benchmark of the
// load alone, and the load's result (1 once the settings key was opened, else
// 0), which no caller in the program reads.
using LoadSettingsFunction = int (*)();
LoadSettingsFunction LoadSettingsOf(cesim::Device& device, DWORD velto);

// Loads the settings in a running copy, as opening the task menu does; what the load returned.
int LoadSettingsIn(cesim::Device& device, DWORD velto);

// Appends an item with a text from Velto's string table to a menu, to run on
// a thread of a running copy. Every text the task menu uses exists, so only a
// direct call shows that an item whose text is empty or missing is left out.
using AppendStringItemFunction = int (*)(HMENU menu, UINT flags, UINT_PTR id, UINT string_id);
AppendStringItemFunction AppendStringItemOf(cesim::Device& device, DWORD velto);

// The flag that shutdown raises for the monitor, to read at a chosen moment.
// A parked monitor wakes when shutdown sets its event and ends at once only
// if the flag was raised first; from outside, either order looks the same.
const volatile LONG* StopFlagOf(cesim::Device& device, DWORD velto);

}  // namespace velto_test
