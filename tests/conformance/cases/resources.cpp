// Resources of the program's own module (Velto's, res/velto.rc, on both
// platforms): strings, icons, bitmaps, and resources found and loaded raw.
#include "fixture.h"

#include "res/resource.h"

#include <string>

using namespace conformance;

namespace {

HMODULE Own() { return GetModuleHandleW(NULL); }

unsigned Word(const BYTE* p, size_t at) { return (unsigned)(p[at] | p[at + 1] << 8); }
unsigned Dword(const BYTE* p, size_t at) { return Word(p, at) | Word(p, at + 2) << 16; }

// ---------------------------------------------------------------- strings

struct StringRow {
    UINT id;
    int capacity;
    int length;  // what LoadStringW returns
    const char* text;
};

const StringRow STRINGS[] = {
    {IDS_WINDOW_TITLE, 64, 5, "Velto"},
    {IDS_CLASS_NAME, 64, 5, "Velto"},
    {IDS_MENU_SETTINGS, 64, 8, "Settings"},
    {IDS_MENU_SETTINGS, 4, 3, "Set"},  // cut to fit with its terminator
    {IDS_MENU_ABOUT, 64, 11, "About Velto"},
    {IDS_DESKTOP_CLASS, 64, 21, "DesktopExplorerWindow"},
    {IDS_DESKTOP_CLASS, 21, 20, "DesktopExplorerWindo"},
    {IDS_TOPMENU_CLASS, 64, 8, "TOP MENU"},
    {IDS_TASKBAR_NAME, 64, 0, NULL},  // left out of a block that is there
    {2, 64, 0, NULL},
    {999, 64, 0, NULL},  // no block at all
};

TEST(Resources, LoadStringW)
{
    RunAsProgram([] {
        for (HMODULE module : {(HMODULE)NULL, Own()}) {
            for (const StringRow& row : STRINGS) {
                WCHAR buffer[64];
                int length = LoadStringW(module, row.id, buffer, row.capacity);
                EXPECT_EQ(row.length, length) << row.id << " into " << row.capacity;
                if (row.text != NULL && length == row.length) {
                    EXPECT_EQ(row.text, Utf8(buffer)) << row.id;
                }
            }
        }
    });
}

// ---------------------------------------------------------------- icons and bitmaps

// A program's icon loads as the image nearest 32 x 32: on Windows CE at that
// image's own size, on desktop Windows stretched to 32 x 32 (Velto's call
// keeps CE's size on both). The same icon loaded twice is the same handle,
// which DestroyIcon does not take away.
TEST(Resources, LoadIconW)
{
    RunAsProgram([] {
        struct Row {
            int id;
            LONG own_size;  // of the image nearest 32 x 32
        };
        const Row rows[] = {{IDI_APP, 32}, {IDI_ARROWS_LARGE, 32}, {IDI_CLOSE_GLYPH, 16}, {IDI_TRAY, 16}};
        for (const Row& row : rows) {
            const auto size = CE_DIFFERENCE(PROGRAM_ICON_SIZE, row.own_size, 32L);
            HICON icon = LoadIconW(Own(), MAKEINTRESOURCEW(row.id));
            ASSERT_NE((HICON)NULL, icon) << row.id;
            EXPECT_EQ(size, IconSize(icon).cx) << row.id;
            EXPECT_EQ(size, IconSize(icon).cy) << row.id;
            EXPECT_EQ(icon, LoadIconW(Own(), MAKEINTRESOURCEW(row.id)));
            EXPECT_TRUE(DestroyIcon(icon));
            EXPECT_EQ(icon, LoadIconW(Own(), MAKEINTRESOURCEW(row.id)));
            HICON velto = VELTO_CALL(LoadIconW)(Own(), MAKEINTRESOURCEW(row.id));
            EXPECT_EQ(row.own_size, IconSize(velto).cx) << row.id;
            EXPECT_EQ(row.own_size, IconSize(velto).cy) << row.id;
        }
        EXPECT_EQ((HICON)NULL, LoadIconW(Own(), MAKEINTRESOURCEW(999)));
        EXPECT_EQ((HICON)NULL, LoadIconW(Own(), MAKEINTRESOURCEW(IDB_BUTTON_OK)));  // a bitmap, no icon
    });
}

TEST(Resources, LoadBitmapW)
{
    RunAsProgram([] {
        for (int id : {IDB_BUTTON_OK, IDB_BUTTON_CLOSE, IDB_BUTTON_IDLE}) {
            HBITMAP bitmap = LoadBitmapW(Own(), MAKEINTRESOURCEW(id));
            ASSERT_NE((HBITMAP)NULL, bitmap) << id;
            SIZE size = BitmapSize(bitmap);
            EXPECT_EQ(40, size.cx) << id;
            EXPECT_EQ(20, size.cy) << id;
            EXPECT_TRUE(DeleteObject(bitmap));
        }
        EXPECT_EQ((HBITMAP)NULL, LoadBitmapW(Own(), MAKEINTRESOURCEW(999)));
        EXPECT_EQ((HBITMAP)NULL, LoadBitmapW(Own(), MAKEINTRESOURCEW(IDI_APP)));  // an icon, no bitmap
    });
}

// ---------------------------------------------------------------- raw resources

TEST(Resources, FindResourceWAndLoadResourceGiveTheCompiledBytes)
{
    RunAsProgram([] {
        for (HMODULE module : {(HMODULE)NULL, Own()}) {
            HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(IDD_ABOUT), RT_DIALOG);
            ASSERT_NE((HRSRC)NULL, found);
            const DLGTEMPLATE* dialog = (const DLGTEMPLATE*)LoadResource(module, found);
            ASSERT_NE((const DLGTEMPLATE*)NULL, dialog);
            EXPECT_EQ((DWORD)(WS_POPUP | DS_SETFONT), dialog->style);
            EXPECT_EQ(0x80000000u, dialog->dwExtendedStyle);
            EXPECT_EQ(3, dialog->cdit);
            EXPECT_EQ(132, dialog->cx);
            EXPECT_EQ(54, dialog->cy);
            EXPECT_LT((DWORD)sizeof(DLGTEMPLATE), SizeofResource(module, found));

            found = FindResourceW(module, MAKEINTRESOURCEW(IDI_APP), RT_GROUP_ICON);
            ASSERT_NE((HRSRC)NULL, found);
            const BYTE* group = (const BYTE*)LoadResource(module, found);
            EXPECT_EQ(6u + 2 * 14, SizeofResource(module, found));  // two images
            EXPECT_EQ(1u, Word(group, 2));
            EXPECT_EQ(2u, Word(group, 4));
            EXPECT_EQ(16u, group[6]);
            EXPECT_EQ(32u, group[6 + 14]);

            found = FindResourceW(module, MAKEINTRESOURCEW(IDB_BUTTON_OK), RT_BITMAP);
            ASSERT_NE((HRSRC)NULL, found);
            const BYTE* bitmap = (const BYTE*)LoadResource(module, found);
            EXPECT_EQ(40u, Dword(bitmap, 0));  // the header's size, then the width and height
            EXPECT_EQ(40u, Dword(bitmap, 4));
            EXPECT_EQ(20u, Dword(bitmap, 8));
        }
        SetLastError(0);
        EXPECT_EQ((HRSRC)NULL, FindResourceW(NULL, MAKEINTRESOURCEW(999), RT_DIALOG));
        EXPECT_EQ((DWORD)ERROR_RESOURCE_NAME_NOT_FOUND, GetLastError());
        EXPECT_EQ((HRSRC)NULL, FindResourceW(NULL, MAKEINTRESOURCEW(IDD_ABOUT), RT_BITMAP));
    });
}

}  // namespace
