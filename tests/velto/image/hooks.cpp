// Built into the program image for the tests: the hooks of
// tests/velto/velto_hooks.h under plain C names, so that a test finds them
// by those names in a running copy. Each is taken from the program's own
// declaration, so that renaming a function or a value, or changing its type,
// fails to compile here.
#include "app/app.h"
#include "settings/settings.h"
#include "taskmenu/taskmenu.h"

extern "C" {
decltype(&LoadSettings) VeltoHookLoadSettings = &LoadSettings;
decltype(&AppendStringItem) VeltoHookAppendStringItem = &AppendStringItem;
decltype(&StopFlag) VeltoHookStopFlag = &StopFlag;
}
