// The task menu's window items: their size, and what is painted for them.
#include "velto/velto_test.h"

using namespace velto_test;

namespace {

using cesim::DrawOp;

class TaskItemTest : public MenuTest {
protected:
    // The menu's paint record from the op at `from` on.
    std::vector<DrawOp> Drawn(size_t from = 0)
    {
        std::vector<DrawOp> ops = device.Menu()->drawn;
        return std::vector<DrawOp>(ops.begin() + (long)std::min(from, ops.size()), ops.end());
    }

    std::vector<DrawOp> Repaint()
    {
        size_t from = Drawn().size();
        device.RepaintMenu();
        device.Settle();
        return Drawn(from);
    }

    // A program of the test's own renames a window (the programs that own
    // the test's windows run no code; to the task menu it is the same).
    void Rename(HWND window, const std::u16string& title)
    {
        device.StartFunction(u"rename.exe", [window, title] { return (int)SetWindowTextW(window, title.c_str()); });
        device.Settle();
    }

    HWND AddProgramWindow(DWORD process, HICON class_icon, const std::u16string& name = u"Prog")
    {
        return AddWindow({.class_name = name, .title = name, .class_icon = class_icon}, process);
    }

    // The title over the whole item in the state's colours, then the device
    // context's colours as they were.
    void ExpectText(const DrawOp& op, RECT item, const std::u16string& text, bool selected)
    {
        EXPECT_EQ(DrawOp::TEXT, op.kind);
        EXPECT_EQ(item, op.dest);
        EXPECT_EQ(item.left + 24, op.source.x);
        EXPECT_EQ(item.top + 4, op.source.y);
        EXPECT_EQ(text, op.text);
        EXPECT_EQ((UINT)ETO_OPAQUE, op.options);
        EXPECT_EQ(selected ? cesim::SYS_HIGHLIGHTTEXT : cesim::SYS_MENUTEXT, op.text_colour);
        EXPECT_EQ(selected ? cesim::SYS_HIGHLIGHT : cesim::SYS_MENU, op.back_colour);
        EXPECT_EQ(cesim::DC_TEXT_COLOUR, device.Menu()->text_colour);
        EXPECT_EQ(cesim::DC_BACK_COLOUR, device.Menu()->back_colour);
    }

    // The window's icon at 16 x 16 on the left, the glyph at its own size on the right.
    static void ExpectIcons(const DrawOp& icon, const DrawOp& glyph, RECT item)
    {
        EXPECT_EQ(DrawOp::ICON, icon.kind);
        EXPECT_EQ((RECT{item.left + 4, item.bottom - 18, item.left + 20, item.bottom - 2}), icon.dest);
        EXPECT_EQ((UINT)DI_NORMAL, icon.options);
        EXPECT_EQ(DrawOp::ICON, glyph.kind);
        EXPECT_EQ(ICON_CLOSE_GLYPH, glyph.icon_id);
        EXPECT_EQ((RECT{item.right - 18, item.bottom - 18, item.right - 2, item.bottom - 2}), glyph.dest);
        EXPECT_EQ((UINT)DI_NORMAL, glyph.options);
    }
};

TEST_F(TaskItemTest, ItemShowsIconTitleAndGlyphSizedToTheTitle)
{
    cesim::Shell shell = device.InstallShell();
    // The shell's program file has an icon, which the desktop's item does not show.
    device.SetProgramFile(device.ProcessOf(shell.desktop), u"\\Windows\\shell32.exe", true);
    HICON icon = device.AddIcon(apps, 32, 32);
    HWND prog = AddProgramWindow(apps, icon);
    Start();

    // "Prog" is 24 x 13: 68 x 19. "Desktop" is wider: 86.
    cesim::MenuInfo menu = OpenMenu();
    EXPECT_EQ((RECT{154, 214, 240, 233}), menu.levels.at(0).item_rects.at(0));
    EXPECT_EQ((RECT{154, 233, 240, 252}), menu.levels.at(0).item_rects.at(1));
    EXPECT_EQ(0, device.OpenHandles(velto, "dc"));  // measuring released what it took
    auto ops = Drawn();
    ASSERT_EQ(4u, ops.size());
    ExpectText(ops[0], RECT{0, 0, 86, 19}, u"Prog", false);
    ExpectIcons(ops[1], ops[2], RECT{0, 0, 86, 19});
    EXPECT_EQ(icon, ops[1].icon);
    ExpectText(ops[3], RECT{0, 19, 86, 38}, u"Desktop", false);  // the desktop: its title alone

    // The tapped item is painted selected over its whole rectangle.
    TapItem(prog);
    ops = Drawn(4);
    ASSERT_EQ(3u, ops.size());
    ExpectText(ops[0], RECT{0, 0, 86, 19}, u"Prog", true);
    ExpectIcons(ops[1], ops[2], RECT{0, 0, 86, 19});
    EXPECT_EQ(prog, device.Foreground());

    // Up to the screen's width (32 characters: 236); longer titles are cut to 196 with an ellipsis, never in a pair.
    const std::u16string w30(30, u'W'), w31 = w30 + u"W", e = u"\u2026";
    struct { std::u16string title, drawn; LONG left; } rows[] = {{w30, w30, 16}, {w31 + u"W", w31 + u"W", 4},
        {w31 + u"WW", w31 + e, 4}, {w30 + u"\U00010000W", w30 + e, 10}, {w30 + u"\U0010FFFDW", w30 + e, 10},
        {w30 + u"\xD7FFWW", w30 + u"\xD7FF" + e, 4}, {w30 + u"\xDC00WW", w30 + u"\xDC00" + e, 4}};
    for (const auto& row : rows) {
        Rename(prog, row.title);
        EXPECT_EQ((RECT{row.left, 214, 240, 294}), OpenMenu().levels.at(0).rect) << cesim::Utf8(row.title);
        EXPECT_EQ(row.drawn, Drawn().at(0).text);
        Dismiss();
    }
}

// The icon is the class's, else the small icon in the owning program's file,
// else there is none and no glyph either. Icons extracted at each paint are
// let go, and so are the processes opened to find the files. Names of one
// character (U+0001 the lowest there is) count as names.
TEST_F(TaskItemTest, IconComesFromTheClassOrTheProgramFileAndIsNotLeaked)
{
    device.InstallShell();
    struct Source {
        const char16_t* name;  // the window's class and title
        bool class_icon;
        const char16_t* file;
        bool file_has_icon;
        size_t ops;  // the title, and the icon and the glyph when there is an icon
    };
    const std::vector<Source> sources{{u"Prog", true, u"\\Windows\\a.exe", true, 3},
                                      {u"Prog", false, u"\\Windows\\b.exe", true, 3},
                                      {u"Prog", false, u"\\Windows\\c.exe", false, 1},
                                      {u"Prog", false, u"", true, 1},
                                      {u"\u0001", true, u"", false, 3},
                                      {u"Prog", false, u"e", true, 3}};
    std::vector<HICON> class_icons;
    for (const Source& s : sources) {
        DWORD program = device.AddProcess(u"prog.exe");
        device.SetProgramFile(program, s.file, s.file_has_icon);
        class_icons.push_back(s.class_icon ? device.AddIcon(program, 32, 32) : nullptr);
        AddProgramWindow(program, class_icons.back(), s.name);
    }
    Start();
    const int icons = device.OpenHandles(velto, "icon");
    OpenMenu();
    for (int paint = 0; paint < 50; ++paint) {
        auto ops = paint == 0 ? Drawn() : Repaint();
        ASSERT_EQ(3u + 3u + 1u + 1u + 3u + 3u + 1u, ops.size());  // the windows from the last added on, then the desktop
        size_t at = 0;
        for (size_t k = sources.size(); k-- > 0;) {
            const RECT item{0, (LONG)(19 * (sources.size() - 1 - k)), 86, (LONG)(19 * (sources.size() - k))};
            ExpectText(ops[at], item, sources[k].name, false);
            if (sources[k].ops == 3) {
                ExpectIcons(ops[at + 1], ops[at + 2], item);
                if (sources[k].class_icon)
                    EXPECT_EQ(class_icons[k], ops[at + 1].icon);
                else
                    EXPECT_EQ(0, ops[at + 1].icon_id);  // not the class's, nor from Velto's resources
                // A 32 x 32 class icon drawn small; from a file with both sizes, the small one.
                EXPECT_EQ(sources[k].class_icon ? 32 : 16, ops[at + 1].icon_size.cx);
            }
            at += sources[k].ops;
        }
    }
    EXPECT_EQ(icons, device.OpenHandles(velto, "icon"));
    EXPECT_EQ(0, device.OpenHandles(velto, "process"));
}

// Every paint looks the window up afresh: a new title (drawn also once the
// window is hidden), an empty one (the icon and glyph without text or fill),
// a window that has gone (nothing).
TEST_F(TaskItemTest, PaintsFollowTheWindowWhileTheMenuIsOpen)
{
    device.InstallShell();
    HWND prog = AddProgramWindow(apps, device.AddIcon(apps, 16, 16));
    Start();
    OpenMenu();
    const RECT item{0, 0, 86, 19};
    Rename(prog, u"Renamed");
    for (bool shown : {true, false}) {
        device.ShowWindow(prog, shown);
        auto ops = Repaint();
        ASSERT_EQ(4u, ops.size());
        ExpectText(ops[0], item, u"Renamed", false);
    }

    Rename(prog, u"");
    auto ops = Repaint();
    ASSERT_EQ(3u, ops.size());
    ExpectIcons(ops[0], ops[1], item);

    device.DestroyWindow(prog);
    ops = Repaint();
    ASSERT_EQ(1u, ops.size());
    ExpectText(ops[0], RECT{0, 19, 86, 38}, u"Desktop", false);
}

}  // namespace
