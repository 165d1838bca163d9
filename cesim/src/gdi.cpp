// Painting and drawing: what reaches a window is recorded as DrawOps.
#include "gdi.h"

namespace cesim {

void InitGdi(World& w)
{
    w.gdi = std::make_unique<World::GdiData>();
    for (int i = WHITE_BRUSH; i <= NULL_BRUSH; ++i)
        w.gdi->brushes[(uintptr_t)w.gdi->NewObject()] = i;
    w.gdi->stock_bitmap = w.gdi->NewObject();
    w.gdi->bitmaps[(uintptr_t)w.gdi->stock_bitmap] = BitmapObject{0, 1, 1, 1, nullptr};
}

static DcObject* FindDc(World& w, HDC dc)
{
    auto it = w.gdi->dcs.find((uintptr_t)dc);
    return it == w.gdi->dcs.end() ? nullptr : &it->second;
}

static HDC NewDc(Call& c, Window* window, bool paint)
{
    HDC h = (HDC)c.w.gdi->NewObject();
    c.w.gdi->dcs[(uintptr_t)h] = DcObject{window, paint, window ? nullptr : c.w.gdi->stock_bitmap, c.self->process};
    return h;
}

extern "C" {

BOOL WINAPI InvalidateRect(HWND window, LPCRECT, BOOL erase)
{
    Call c("InvalidateRect");
    Window* w = c.Live(window);
    if (w == nullptr)
        return FALSE;
    w->needs_paint = true;
    w->needs_erase = w->needs_erase || erase;
    c.w.WakeForMessages(w->thread);
    return TRUE;
}

BOOL WINAPI UpdateWindow(HWND window)
{
    bool paint;
    {
        Call c("UpdateWindow");
        Window* w = c.w.FindWindowObject(window);
        if (w == nullptr)
            return FALSE;
        paint = w->needs_paint && c.w.VisibleOnScreen(w) && w->thread == c.self;
    }
    if (paint) {
        Nested platform;
        SendMessageW(window, WM_PAINT, 0, 0);
    }
    return TRUE;
}

HDC WINAPI BeginPaint(HWND window, LPPAINTSTRUCT paint)
{
    Call c("BeginPaint");
    Window* w = c.w.FindWindowObject(window);
    if (w == nullptr || paint == nullptr || w->thread != c.self) {
        SetError(c.self, ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    bool erase = w->needs_erase;
    w->needs_paint = false;
    w->needs_erase = false;
    HDC dc = NewDc(c, w, true);
    *paint = PAINTSTRUCT{};
    paint->hdc = dc;
    paint->rcPaint = RECT{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
    paint->fErase = FALSE;
    if (erase)
        paint->fErase = c.w.CallProc(c.lk, w, WM_ERASEBKGND, (WPARAM)dc, 0) == 0;
    return dc;
}

BOOL WINAPI EndPaint(HWND, const PAINTSTRUCT* paint)
{
    Call c("EndPaint");
    if (paint == nullptr || c.w.gdi->dcs.erase((uintptr_t)paint->hdc) == 0)
        return FALSE;
    return TRUE;
}

HDC WINAPI GetDC(HWND window)
{
    Call c("GetDC");
    Window* w = window ? c.w.FindWindowObject(window) : c.w.desktop_root;
    if (w == nullptr) {
        SetError(c.self, ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    return NewDc(c, w, false);
}

int WINAPI ReleaseDC(HWND, HDC dc)
{
    Call c("ReleaseDC");
    DcObject* d = FindDc(c.w, dc);
    if (d == nullptr || d->window == nullptr || d->paint)
        return 0;
    c.w.gdi->dcs.erase((uintptr_t)dc);
    return 1;
}

HDC WINAPI CreateCompatibleDC(HDC dc)
{
    Call c("CreateCompatibleDC");
    if (dc != nullptr && FindDc(c.w, dc) == nullptr) {
        SetError(c.self, ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return NewDc(c, nullptr, false);
}

BOOL WINAPI DeleteDC(HDC dc)
{
    Call c("DeleteDC");
    DcObject* d = FindDc(c.w, dc);
    if (d == nullptr || d->window != nullptr)
        return FALSE;
    c.w.gdi->dcs.erase((uintptr_t)dc);
    return TRUE;
}

HGDIOBJ WINAPI SelectObject(HDC dc, HGDIOBJ object)
{
    Call c("SelectObject");
    DcObject* d = FindDc(c.w, dc);
    if (d == nullptr || c.w.gdi->bitmaps.count((uintptr_t)object) == 0) {
        SetError(c.self, ERROR_INVALID_HANDLE);
        return nullptr;
    }
    // Only memory device contexts hold bitmaps.
    if (d->window != nullptr)
        return nullptr;
    HGDIOBJ previous = d->bitmap;
    d->bitmap = object;
    return previous;
}

BOOL WINAPI DeleteObject(HGDIOBJ object)
{
    Call c("DeleteObject");
    auto& gdi = *c.w.gdi;
    if (object == gdi.stock_bitmap || gdi.brushes.count((uintptr_t)object))
        return TRUE;
    for (auto& d : gdi.dcs) {
        if (d.second.bitmap == object)
            return FALSE;  // still selected
    }
    return gdi.bitmaps.erase((uintptr_t)object) ? TRUE : FALSE;
}

HGDIOBJ WINAPI GetStockObject(int object)
{
    Call c("GetStockObject");
    for (auto& b : c.w.gdi->brushes) {
        if (b.second == object)
            return (HGDIOBJ)b.first;
    }
    return nullptr;
}

BOOL WINAPI BitBlt(HDC dest, int x, int y, int width, int height, HDC source, int sourceX, int sourceY, DWORD rop)
{
    Call c("BitBlt");
    DcObject* to = FindDc(c.w, dest);
    DcObject* from = FindDc(c.w, source);
    if (to == nullptr || from == nullptr) {
        SetError(c.self, ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (to->window == nullptr || from->window != nullptr)
        return TRUE;  // only blits from a bitmap to a window are recorded
    const BitmapObject& bitmap = c.w.gdi->bitmaps[(uintptr_t)from->bitmap];
    DrawOp op{DrawOp::BLIT, RECT{x, y, x + width, y + height}, (HBITMAP)from->bitmap, bitmap.resource_id,
              POINT{sourceX, sourceY}, rop, nullptr};
    to->window->drawn.push_back(op);
    return TRUE;
}

int WINAPI FillRect(HDC dc, const RECT* rect, HBRUSH brush)
{
    Call c("FillRect");
    DcObject* d = FindDc(c.w, dc);
    if (d == nullptr || rect == nullptr)
        return 0;
    if (d->window != nullptr)
        d->window->drawn.push_back(DrawOp{DrawOp::FILL, *rect, nullptr, 0, POINT{0, 0}, 0, brush});
    return 1;
}

}  // extern "C"

}  // namespace cesim
