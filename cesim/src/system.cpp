// The system's parameters: the work area, the double-click time and the
// screen's metrics.
#include "world.h"

namespace cesim {

extern "C" {

BOOL WINAPI SystemParametersInfoW(UINT action, UINT, LPVOID data, UINT winIni)
{
    Call c("SystemParametersInfoW");
    switch (action) {
    case SPI_SETWORKAREA: {
        if (data == nullptr) {
            SetError(c.self, ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        c.w.work_area = *(RECT*)data;
        // Every top-level window hears of it once the change is stored as well as sent.
        if ((winIni & (SPIF_UPDATEINIFILE | SPIF_SENDCHANGE)) == (SPIF_UPDATEINIFILE | SPIF_SENDCHANGE)) {
            std::vector<Window*> all = c.w.top_level;
            for (Window* w : all) {
                if (w->alive)
                    c.w.Send(c.lk, w, WM_SETTINGCHANGE, SPI_SETWORKAREA, 0, false);
            }
        }
        return TRUE;
    }
    case SPI_GETWORKAREA:
        if (data == nullptr || c.w.fail_work_area_query) {
            SetError(c.self, ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        *(RECT*)data = c.w.work_area;
        return TRUE;
    }
    SetError(c.self, ERROR_INVALID_PARAMETER);
    return FALSE;
}

UINT WINAPI GetDoubleClickTime(void)
{
    Call c("GetDoubleClickTime");
    return c.w.double_click_time;
}

/* The Pocket PC's screen, 240 x 320 in portrait; other metrics are not kept. */
int WINAPI GetSystemMetrics(int index)
{
    Call c("GetSystemMetrics");
    if (index == SM_CXSCREEN)
        return 240;
    if (index == SM_CYSCREEN)
        return 320;
    return 0;
}

}  // extern "C"

}  // namespace cesim
