// Drawing: the colours a device context holds, system colours, text
// extents, memory device contexts and bitmaps, icons.
#include "fixture.h"

#include "res/resource.h"

using namespace conformance;

namespace {

const COLORREF NO_COLOUR = 0xFFFFFFFF;  // CLR_INVALID
const COLORREF RED = 0x000000FF, BLUE = 0x00FF0000, GREEN = 0x0000FF00;

HWND Canvas() { return MakeWindow(TEXT("Canvas"), TEXT("canvas"), WS_VISIBLE | WS_POPUP, RECT{0, 0, 100, 100}); }

// A new device context, a window's or a memory one, draws text black on
// white; each set returns the colour it replaces. A window's released device
// context keeps none of what was set in it.
TEST(Gdi, SetTextColorAndSetBkColorReturnTheColourBefore)
{
    RunAsProgram([] {
        HWND window = Canvas();
        HDC windowDc = GetDC(window);
        HDC memoryDc = CreateCompatibleDC(windowDc);
        for (HDC dc : {windowDc, memoryDc}) {
            EXPECT_EQ(0x000000u, SetTextColor(dc, RED));
            EXPECT_EQ(RED, SetTextColor(dc, BLUE));
            EXPECT_EQ(BLUE, SetTextColor(dc, GREEN));
            EXPECT_EQ(0xFFFFFFu, SetBkColor(dc, GREEN));
            EXPECT_EQ(GREEN, SetBkColor(dc, RED));
            EXPECT_EQ(GREEN, SetTextColor(dc, RED));  // the text colour is apart from the background's
        }
        EXPECT_EQ(NO_COLOUR, SetTextColor((HDC)(UINT_PTR)0x7777, RED));
        EXPECT_EQ(NO_COLOUR, SetBkColor((HDC)(UINT_PTR)0x7777, RED));
        EXPECT_TRUE(DeleteDC(memoryDc));
        EXPECT_EQ(1, ReleaseDC(window, windowDc));
        // Released, it is not released again; the next one starts afresh.
        EXPECT_EQ(0, ReleaseDC(window, windowDc));
        HDC again = GetDC(window);
        EXPECT_EQ(0x000000u, SetTextColor(again, RED));
        EXPECT_EQ(0xFFFFFFu, SetBkColor(again, GREEN));
        EXPECT_EQ(1, ReleaseDC(window, again));
        DestroyWindow(window);
    });
}

// Windows CE takes a system colour's index with a flag; desktop Windows
// takes the bare index and knows no flagged one.
TEST(Gdi, GetSysColorIndex)
{
    RunAsProgram([] {
        EXPECT_EQ(0xFFFFFFu, GetSysColor(SYS_COLOR_INDEX_FLAG | COLOR_WINDOW));
        EXPECT_EQ(CE_DIFFERENCE(SYS_COLOR_INDEX, 0xFFFFFFu, 0u),
                  GetSysColor(0x40000000 | COLOR_WINDOW));
        EXPECT_EQ(CE_DIFFERENCE(SYS_COLOR_INDEX, 0u, 0xFFFFFFu),
                  GetSysColor(COLOR_WINDOW));
    });
}

// The extent of each first part of the text, the whole text's size, and
// how many characters fit a width.
TEST(Gdi, GetTextExtentExPointW)
{
    RunAsProgram([] {
        HWND window = Canvas();
        HDC dc = GetDC(window);
        SIZE whole = {0, 0}, two = {0, 0};
        ASSERT_TRUE(GetTextExtentExPointW(dc, TEXT("abcd"), 4, 0, NULL, NULL, &whole));
        ASSERT_TRUE(GetTextExtentExPointW(dc, TEXT("abcd"), 2, 0, NULL, NULL, &two));
        EXPECT_GT(two.cx, 0);
        EXPECT_GT(whole.cx, two.cx);
        EXPECT_GT(whole.cy, 0);
        EXPECT_EQ(whole.cy, two.cy);
        int extents[4] = {0, 0, 0, 0};
        int fit = -1;
        SIZE size = {0, 0};
        ASSERT_TRUE(GetTextExtentExPointW(dc, TEXT("abcd"), 4, two.cx, &fit, extents, &size));
        EXPECT_EQ(two.cx, extents[1]);
        EXPECT_LT(extents[0], extents[1]);
        EXPECT_LT(extents[2], extents[3]);
        EXPECT_EQ(whole.cx, extents[3]);
        EXPECT_EQ(whole.cx, size.cx);
        EXPECT_EQ(2, fit);  // the first two end exactly at the width
        ASSERT_TRUE(GetTextExtentExPointW(dc, TEXT("abcd"), 4, two.cx - 1, &fit, NULL, &size));
        EXPECT_EQ(1, fit);
        ReleaseDC(window, dc);
        DestroyWindow(window);
    });
}

// Windows CE is 32-bit: the class long holds the whole class icon. 64-bit
// desktop Windows keeps it in a pointer-sized slot, of which GetClassLongW
// reads the low half (the whole handle while handles fit in 32 bits).
TEST(Gdi, TheClassIcon)
{
    OtherProgram other;
    TheirWindow window{TEXT("WithIcon"), TEXT("icon")};
    window.icon_size = 32;
    HWND theirs = other.AddWindow(window);
    RunAsProgram([&] {
        HICON icon = LoadIconW(GetModuleHandleW(NULL), MAKEINTRESOURCEW(IDI_APP));
        EnsureClass(TEXT("MineWithIcon"), NULL, icon);
        HWND mine = MakeWindow(TEXT("MineWithIcon"), TEXT("mine"), WS_POPUP, RECT{0, 0, 10, 10});
        EXPECT_EQ((DWORD)(UINT_PTR)icon, GetClassLongW(mine, GCL_HICON));
        EXPECT_DOCUMENTED(GetClassLongW(theirs, GCL_HICON) != 0, "Wine gives no class icon of another process");
        // Velto's call reads the whole icon, and none of a class without one.
        HWND plain = MakeWindow(TEXT("MineWithoutIcon"), TEXT("plain"), WS_POPUP, RECT{0, 0, 10, 10});
        EXPECT_EQ((ULONG_PTR)icon, (ULONG_PTR)VELTO_CALL(GetClassLongW)(mine, GCL_HICON));
        EXPECT_EQ(0u, (ULONG_PTR)VELTO_CALL(GetClassLongW)(plain, GCL_HICON));
    });
}

// Icons drawn at a given size and at their own (the glyph's own size is
// what LoadIconW gave it), a blit of part of a bitmap from a memory device
// context; text; stock brushes.
TEST(Gdi, DrawIconExBitBltAndExtTextOutW)
{
    RunAsProgram([] {
        HMODULE own = GetModuleHandleW(NULL);
        const auto glyph = CE_DIFFERENCE(PROGRAM_ICON_SIZE, (LONG)20, (LONG)36);
        struct Row {
            int icon;  // or 0: a blit
            int size;  // 0: the icon's own
            RECT painted;
        };
        const Row rows[] = {
            {IDI_APP, 16, {4, 4, 20, 20}},
            {IDI_APP, 0, {4, 4, 36, 36}},
            {IDI_CLOSE_GLYPH, 0, {4, 4, glyph.value, glyph.value}},
            {0, 0, {4, 4, 24, 24}},
        };
        for (const Row& row : rows) {
            HWND window = Canvas();
            HDC dc = GetDC(window);
            RECT client = {0, 0, 100, 100};
            FillRect(dc, &client, (HBRUSH)GetStockObject(GRAY_BRUSH));
            if (row.icon != 0) {
                HICON icon = LoadIconW(own, MAKEINTRESOURCEW(row.icon));
                EXPECT_TRUE(DrawIconEx(dc, 4, 4, icon, row.size, row.size, 0, NULL, DI_IMAGE));
            } else {
                HDC memory = CreateCompatibleDC(dc);
                HBITMAP face = LoadBitmapW(own, MAKEINTRESOURCEW(IDB_BUTTON_OK));
                // The context's own bitmap comes back, and goes back in before it is deleted.
                HGDIOBJ previous = SelectObject(memory, face);
                EXPECT_NE((HGDIOBJ)NULL, previous);
                EXPECT_NE((HGDIOBJ)face, previous);
                EXPECT_TRUE(BitBlt(dc, 4, 4, 20, 20, memory, 20, 0, SRCCOPY));
                EXPECT_EQ((HGDIOBJ)face, SelectObject(memory, previous));
                EXPECT_TRUE(DeleteDC(memory));
                // The copy starts at the source's offset: the face's right frame.
                POINT source = BlitSource(window, face, RECT{4, 4, 24, 24});
                EXPECT_EQ("20,0", std::to_string(source.x) + "," + std::to_string(source.y));
                EXPECT_TRUE(DeleteObject(face));
            }
            EXPECT_RECT(row.painted, PaintedRect(window))
                << row.icon << " at " << row.size << (row.icon == IDI_CLOSE_GLYPH ? Explain(glyph.row) : "");
            ReleaseDC(window, dc);
            DestroyWindow(window);
        }
        HWND window = Canvas();
        HDC dc = GetDC(window);
        EXPECT_FALSE(DrawIconEx(dc, 0, 0, (HICON)(UINT_PTR)0x7777, 0, 0, 0, NULL, DI_NORMAL));
        RECT item = {0, 40, 100, 60};
        EXPECT_TRUE(ExtTextOutW(dc, 2, 42, ETO_OPAQUE, &item, TEXT("Velto"), 5, NULL));
        EXPECT_NE((HGDIOBJ)NULL, GetStockObject(LTGRAY_BRUSH));
        EXPECT_NE(GetStockObject(LTGRAY_BRUSH), GetStockObject(WHITE_BRUSH));
        ReleaseDC(window, dc);
        // DefWindowProcW erases with the class brush and says so; without one it leaves the window.
        const HBRUSH light = (HBRUSH)GetStockObject(LTGRAY_BRUSH), gray = (HBRUSH)GetStockObject(GRAY_BRUSH);
        EnsureClass(TEXT("Brushed"), NULL, NULL, light);
        const RECT all = {0, 0, 100, 100};
        HWND brushed = MakeWindow(TEXT("Brushed"), TEXT("brushed"), WS_VISIBLE | WS_POPUP, all);
        for (HWND w : {window, brushed}) {
            dc = GetDC(w);
            FillRect(dc, &all, gray);
            EXPECT_EQ(w == brushed, SendMessageW(w, WM_ERASEBKGND, (WPARAM)dc, 0) != 0);
            EXPECT_EQ(w == brushed, FilledWith(w, light));
            EXPECT_EQ(w != brushed, FilledWith(w, gray));
            ReleaseDC(w, dc);
        }
        DestroyWindow(brushed);
        DestroyWindow(window);
    });
}

}  // namespace
