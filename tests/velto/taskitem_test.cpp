// The task menu's window items: their size, and what is painted for them.
#include "velto/menu_test.h"

using namespace velto_test;

namespace {

using cesim::DrawOp;

class TaskItemTest : public MenuTest {
protected:
    // The menu's paint record, from the op at `from` on.
    std::vector<DrawOp> Drawn(size_t from = 0)
    {
        auto menu = device.Menu();
        std::vector<DrawOp> ops = menu ? menu->drawn : std::vector<DrawOp>{};
        return std::vector<DrawOp>(ops.begin() + (long)std::min(from, ops.size()), ops.end());
    }

    static void ExpectText(const DrawOp& op, RECT item, const std::u16string& text, bool selected)
    {
        EXPECT_EQ(DrawOp::TEXT, op.kind);
        EXPECT_EQ(item, op.dest);  // the whole item is filled
        EXPECT_EQ(item.left + 24, op.source.x);
        EXPECT_EQ(item.top + 4, op.source.y);
        EXPECT_EQ(text, op.text);
        EXPECT_EQ((UINT)ETO_OPAQUE, op.options);
        EXPECT_EQ(selected ? cesim::SYS_HIGHLIGHTTEXT : cesim::SYS_MENUTEXT, op.text_colour);
        EXPECT_EQ(selected ? cesim::SYS_HIGHLIGHT : cesim::SYS_MENU, op.back_colour);
    }

    static void ExpectIcons(const DrawOp& icon, const DrawOp& glyph, RECT item)
    {
        EXPECT_EQ(DrawOp::ICON, icon.kind);
        EXPECT_EQ((RECT{item.left + 4, item.bottom - 18, item.left + 20, item.bottom - 2}), icon.dest);
        EXPECT_EQ((UINT)DI_NORMAL, icon.options);
        EXPECT_EQ(DrawOp::ICON, glyph.kind);
        EXPECT_EQ(109, glyph.icon_id);
        EXPECT_EQ((RECT{item.right - 18, item.bottom - 18, item.right - 2, item.bottom - 2}), glyph.dest);
        EXPECT_EQ((UINT)DI_NORMAL, glyph.options);
    }

    void ExpectColoursRestored()
    {
        auto menu = device.Menu();
        EXPECT_EQ(cesim::DC_TEXT_COLOUR, menu->text_colour);
        EXPECT_EQ(cesim::DC_BACK_COLOUR, menu->back_colour);
    }
};

TEST_F(TaskItemTest, ItemShowsIconTitleAndGlyphSizedToTheTitle)
{
    cesim::Shell shell = device.InstallShell();
    cesim::WindowOptions options;
    options.class_name = u"Notes";
    options.title = u"Notes";
    options.class_icon = device.AddIcon(apps, 32, 32);
    HWND notes = device.AddWindow(apps, options);
    StartVelto();

    cesim::MenuInfo menu = OpenMenu();
    const cesim::MenuLevelInfo& top = menu.levels.at(0);
    // "Notes" is 30 pixels wide and 13 high: 74 x 19. "Desktop" is wider: 86.
    ASSERT_EQ((std::vector<UINT_PTR>{(UINT_PTR)notes, (UINT_PTR)shell.desktop}),
              (std::vector<UINT_PTR>{top.items.at(0).id, top.items.at(1).id}));
    EXPECT_EQ((RECT{154, 214, 240, 233}), top.item_rects.at(0));
    EXPECT_EQ((RECT{154, 233, 240, 252}), top.item_rects.at(1));
    EXPECT_EQ(0, device.OpenHandles(velto, "dc"));  // measuring released what it took

    auto ops = Drawn();
    ASSERT_EQ(4u, ops.size());
    ExpectText(ops[0], RECT{0, 0, 86, 19}, u"Notes", false);
    ExpectIcons(ops[1], ops[2], RECT{0, 0, 86, 19});
    EXPECT_EQ(options.class_icon, ops[1].icon);
    // The desktop's item: its title alone.
    ExpectText(ops[3], RECT{0, 19, 86, 38}, u"Desktop", false);
    ExpectColoursRestored();

    // The tapped item is painted selected over its whole rectangle.
    TapItem((UINT_PTR)notes);
    ops = Drawn(4);
    ASSERT_EQ(3u, ops.size());
    ExpectText(ops[0], RECT{0, 0, 86, 19}, u"Notes", true);
    ExpectIcons(ops[1], ops[2], RECT{0, 0, 86, 19});
    ExpectColoursRestored();
    EXPECT_EQ(notes, device.Foreground());
}

TEST_F(TaskItemTest, ALongTitleWidensTheMenu)
{
    device.InstallShell();
    std::u16string title(30, u'W');
    AddWindow(u"Long", title, RECT{0, 0, 240, 294});
    StartVelto();
    cesim::MenuInfo menu = OpenMenu();
    EXPECT_EQ((RECT{16, 214, 240, 294}), menu.levels.at(0).rect);  // 180 + 44 wide
    ASSERT_FALSE(menu.drawn.empty());
    ExpectText(menu.drawn[0], RECT{0, 0, 224, 19}, title, false);
}

// The icon is the class's, else the small icon in the owning program's file, else none.
struct IconSource {
    const char* name;
    bool class_icon;
    const char16_t* program_file;
    bool file_has_icon;
    bool drawn;
};

void PrintTo(const IconSource& value, std::ostream* out) { *out << value.name; }

class IconSourceTest : public TaskItemTest, public ::testing::WithParamInterface<IconSource> {};

TEST_P(IconSourceTest, IconComesFromTheClassOrTheProgramFile)
{
    const IconSource& s = GetParam();
    device.InstallShell();
    DWORD program = device.AddProcess(u"prog.exe");
    device.SetProgramFile(program, s.program_file, s.file_has_icon);
    cesim::WindowOptions options;
    options.class_name = u"Prog";
    options.title = u"Prog";
    if (s.class_icon)
        options.class_icon = device.AddIcon(program, 32, 32);
    device.AddWindow(program, options);
    StartVelto();
    int icons = device.OpenHandles(velto, "icon");

    OpenMenu();
    auto ops = Drawn();
    ASSERT_EQ(s.drawn ? 4u : 2u, ops.size());  // the desktop's title follows
    ExpectText(ops[0], RECT{0, 0, 86, 19}, u"Prog", false);
    if (s.drawn) {
        ExpectIcons(ops[1], ops[2], RECT{0, 0, 86, 19});
        if (s.class_icon)
            EXPECT_EQ(options.class_icon, ops[1].icon);
        else
            EXPECT_NE(options.class_icon, ops[1].icon);
    }
    EXPECT_EQ(s.class_icon ? 0u : 1u, device.Calls("OpenProcess"));
    EXPECT_EQ(0, device.OpenHandles(velto, "process"));
    EXPECT_EQ(icons, device.OpenHandles(velto, "icon"));  // an extracted icon is let go
}

INSTANTIATE_TEST_SUITE_P(
    Item, IconSourceTest,
    ::testing::Values(IconSource{"class_icon", true, u"\\Windows\\prog.exe", true, true},
                      IconSource{"program_icon", false, u"\\Windows\\prog.exe", true, true},
                      IconSource{"program_without_icon", false, u"\\Windows\\prog.exe", false, false},
                      IconSource{"no_program_file", false, u"", true, false}),
    [](const ::testing::TestParamInfo<IconSource>& info) { return std::string(info.param.name); });

TEST_F(TaskItemTest, RepaintsLeakNoIcons)
{
    device.InstallShell();
    DWORD program = device.AddProcess(u"prog.exe");
    device.SetProgramFile(program, u"\\Windows\\prog.exe", true);
    cesim::WindowOptions options;
    options.class_name = u"Prog";
    options.title = u"Prog";
    device.AddWindow(program, options);
    StartVelto();
    int icons = device.OpenHandles(velto, "icon");
    OpenMenu();
    for (int i = 0; i < 50; ++i)
        device.RepaintMenu();
    device.Settle();
    EXPECT_EQ(51u, device.Calls("ExtractIconExW"));
    int drawn_icons = 0;
    for (auto& op : Drawn())
        drawn_icons += op.kind == DrawOp::ICON && op.icon_id == 0;
    EXPECT_EQ(51, drawn_icons);
    EXPECT_EQ(icons, device.OpenHandles(velto, "icon"));
    EXPECT_EQ(0, device.OpenHandles(velto, "process"));
    EXPECT_EQ(0, device.OpenHandles(velto, "dc"));
}

// Every paint looks the window up afresh.
TEST_F(TaskItemTest, PaintsFollowTheWindowWhileTheMenuIsOpen)
{
    device.InstallShell();
    cesim::WindowOptions options;
    options.class_name = u"Notes";
    options.title = u"Notes";
    options.class_icon = device.AddIcon(apps, 16, 16);
    HWND notes = device.AddWindow(apps, options);
    StartVelto();
    OpenMenu();
    const RECT item{0, 0, 86, 19};
    auto rename = [&](const char16_t* title) {
        device.RunInProcess(velto, [&]() -> DWORD { return (DWORD)SetWindowTextW(notes, title); });
    };

    rename(u"Renamed");
    size_t from = Drawn().size();
    device.RepaintMenu();
    device.Settle();
    auto ops = Drawn(from);
    ASSERT_EQ(4u, ops.size());
    ExpectText(ops[0], item, u"Renamed", false);

    // An empty title: no text and no fill, but the icon and the glyph.
    rename(u"");
    from = Drawn().size();
    device.RepaintMenu();
    device.Settle();
    ops = Drawn(from);
    ASSERT_EQ(3u, ops.size());
    ExpectIcons(ops[0], ops[1], item);
    ExpectColoursRestored();

    // A window that has gone: nothing at all.
    device.DestroyWindow(notes);
    from = Drawn().size();
    device.RepaintMenu();
    device.Settle();
    ops = Drawn(from);
    ASSERT_EQ(1u, ops.size());
    EXPECT_EQ(u"Desktop", ops[0].text);
    ExpectColoursRestored();
}

}  // namespace
