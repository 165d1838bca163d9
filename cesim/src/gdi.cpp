// Painting and drawing: what reaches a window is recorded as DrawOps.
#include "gdi.h"

namespace cesim {

void InitGdi(World& w)
{
    w.gdi = std::make_unique<World::GdiData>();
    for (int i = WHITE_BRUSH; i <= NULL_BRUSH; ++i)
        w.gdi->brushes[(uintptr_t)w.gdi->NewObject(World::GdiData::STOCK)] = i;
    w.gdi->stock_bitmap = w.gdi->NewObject(World::GdiData::STOCK);
    w.gdi->bitmaps[(uintptr_t)w.gdi->stock_bitmap] = BitmapObject{0, 1, 1, 1, nullptr};
    w.gdi->system_font = w.gdi->NewObject(World::GdiData::STOCK);
}

DcObject* FindDc(World& w, HDC dc)
{
    auto it = w.gdi->dcs.find((uintptr_t)dc);
    return it == w.gdi->dcs.end() ? nullptr : &it->second;
}

static HDC NewDc(Call& c, Window* window, bool paint)
{
    HDC h = (HDC)c.w.gdi->NewObject(World::GdiData::DC);
    c.w.gdi->dcs[(uintptr_t)h] = DcObject{window, paint, window ? nullptr : c.w.gdi->stock_bitmap, c.self->process};
    return h;
}

HDC NewSystemDc(World& w, std::vector<DrawOp>* record)
{
    HDC h = (HDC)w.gdi->NewObject(World::GdiData::DC);
    DcObject d;
    d.record = record;
    w.gdi->dcs[(uintptr_t)h] = d;
    return h;
}

HICON NewIcon(World& w, IconObject icon)
{
    HICON h = (HICON)w.gdi->NewObject(World::GdiData::ICON);
    w.gdi->icons[(uintptr_t)h] = icon;
    return h;
}

// The device context a drawing call names; null, with the error set, when there is none.
static DcObject* Dc(Call& c, HDC dc)
{
    DcObject* d = FindDc(c.w, dc);
    if (d == nullptr)
        SetError(c.self, ERROR_INVALID_HANDLE);
    return d;
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
    if (d == nullptr || d->window != nullptr || d->owner != c.self->process)
        return FALSE;
    c.w.gdi->dcs.erase((uintptr_t)dc);
    return TRUE;
}

HGDIOBJ WINAPI SelectObject(HDC dc, HGDIOBJ object)
{
    Call c("SelectObject");
    DcObject* d = FindDc(c.w, dc);
    // The system font is the only font; any device context takes it.
    if (d != nullptr && object != nullptr && object == c.w.gdi->system_font) {
        HGDIOBJ previous = d->font ? d->font : c.w.gdi->system_font;
        d->font = object;
        return previous;
    }
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
    if (object == gdi.stock_bitmap || object == gdi.system_font || gdi.brushes.count((uintptr_t)object))
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
    if (object == SYSTEM_FONT)
        return c.w.gdi->system_font;
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
    if (DrawTarget(to) == nullptr || from->window != nullptr)
        return TRUE;  // only blits from a bitmap to a window are recorded
    const BitmapObject& bitmap = c.w.gdi->bitmaps[(uintptr_t)from->bitmap];
    DrawOp op{DrawOp::BLIT, RECT{x, y, x + width, y + height}, (HBITMAP)from->bitmap, bitmap.resource_id,
              POINT{sourceX, sourceY}, rop, nullptr};
    DrawTarget(to)->push_back(op);
    return TRUE;
}

int WINAPI FillRect(HDC dc, const RECT* rect, HBRUSH brush)
{
    Call c("FillRect");
    DcObject* d = FindDc(c.w, dc);
    if (d == nullptr || rect == nullptr)
        return 0;
    if (auto* target = DrawTarget(d))
        target->push_back(DrawOp{DrawOp::FILL, *rect, nullptr, 0, POINT{0, 0}, 0, brush});
    return 1;
}

COLORREF WINAPI SetTextColor(HDC dc, COLORREF colour)
{
    Call c("SetTextColor");
    DcObject* d = Dc(c, dc);
    if (d == nullptr)
        return 0xFFFFFFFF;  // CLR_INVALID
    COLORREF previous = d->text_colour;
    d->text_colour = colour;
    return previous;
}

COLORREF WINAPI SetBkColor(HDC dc, COLORREF colour)
{
    Call c("SetBkColor");
    DcObject* d = Dc(c, dc);
    if (d == nullptr)
        return 0xFFFFFFFF;
    COLORREF previous = d->back_colour;
    d->back_colour = colour;
    return previous;
}

// Windows CE takes system colour indexes with the flag 0x40000000; a bare
// index names no colour.
DWORD WINAPI GetSysColor(int index)
{
    Call c("GetSysColor");
    const DWORD flag = 0x40000000;
    if (((DWORD)index & 0xFFFF0000) != flag) {
        SetError(c.self, ERROR_INVALID_PARAMETER);
        return 0;
    }
    switch ((DWORD)index & 0xFFFF) {
    case COLOR_MENU:
        return SYS_MENU;
    case COLOR_WINDOW:
        return SYS_WINDOW;
    case COLOR_MENUTEXT:
        return SYS_MENUTEXT;
    case COLOR_WINDOWTEXT:
        return SYS_WINDOWTEXT;
    case COLOR_HIGHLIGHT:
        return SYS_HIGHLIGHT;
    case COLOR_HIGHLIGHTTEXT:
        return SYS_HIGHLIGHTTEXT;
    }
    SetError(c.self, ERROR_INVALID_PARAMETER);
    return 0;
}

// Text is measured in the system font, whatever the device context.
BOOL WINAPI GetTextExtentExPointW(HDC dc, LPCWSTR text, int length, int maxExtent, LPINT fit, LPINT extents,
                                  LPSIZE size)
{
    Call c("GetTextExtentExPointW");
    if (Dc(c, dc) == nullptr)
        return FALSE;
    if (size == nullptr || length < 0 || (text == nullptr && length > 0)) {
        SetError(c.self, ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    int fitting = 0;
    for (int i = 0; i < length; ++i) {
        if (extents != nullptr)
            extents[i] = (i + 1) * FONT_CHAR_WIDTH;
        if (fit != nullptr && (i + 1) * FONT_CHAR_WIDTH <= maxExtent)
            fitting = i + 1;
    }
    if (fit != nullptr)
        *fit = fitting;
    *size = SIZE{length * FONT_CHAR_WIDTH, FONT_HEIGHT};
    return TRUE;
}

BOOL WINAPI ExtTextOutW(HDC dc, int x, int y, UINT options, const RECT* rect, LPCWSTR text, UINT length,
                        const INT* spacing)
{
    Call c("ExtTextOutW");
    DcObject* d = Dc(c, dc);
    if (d == nullptr)
        return FALSE;
    if (text == nullptr && length > 0) {
        SetError(c.self, ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (auto* target = DrawTarget(d)) {
        DrawOp op{DrawOp::TEXT, rect ? *rect : RECT{0, 0, 0, 0}, nullptr, 0, POINT{x, y}, 0, nullptr};
        op.text = length > 0 ? Text(text, text + length) : Text();
        op.options = options;
        op.text_colour = d->text_colour;
        op.back_colour = d->back_colour;
        target->push_back(op);
    }
    return TRUE;
}

// Width and height 0 draw the icon at its own size.
BOOL WINAPI DrawIconEx(HDC dc, int x, int y, HICON icon, int width, int height, UINT, HBRUSH, UINT flags)
{
    Call c("DrawIconEx");
    DcObject* d = Dc(c, dc);
    if (d == nullptr)
        return FALSE;
    auto it = c.w.gdi->icons.find((uintptr_t)icon);
    if (it == c.w.gdi->icons.end()) {
        SetError(c.self, ERROR_INVALID_HANDLE);
        return FALSE;
    }
    int cx = width != 0 ? width : it->second.width;
    int cy = height != 0 ? height : it->second.height;
    if (auto* target = DrawTarget(d)) {
        DrawOp op{DrawOp::ICON, RECT{x, y, x + cx, y + cy}, nullptr, 0, POINT{0, 0}, 0, nullptr};
        op.options = flags;
        op.icon = icon;
        op.icon_id = it->second.resource_id;
        op.icon_size = SIZE{it->second.width, it->second.height};
        target->push_back(op);
    }
    return TRUE;
}

}  // extern "C"

}  // namespace cesim
