/* The About box; not shown yet. */
#include "about/about.h"

void RunAboutBox(HWND)
{
}
