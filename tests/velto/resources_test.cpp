// Velto's resources as compiled: the string table, the icons, the button
// faces, the About box template and the version record, each against the
// catalogue of what the program loads and relies on.
#include <cesim/resource_file.h>
#include <cesim/resource_formats.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <optional>
#include <ostream>
#include <set>
#include <stdexcept>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace {

using cesim::Colour;

const WORD RT_BITMAP_ = 2;
const WORD RT_ICON_ = 3;
const WORD RT_DIALOG_ = 5;
const WORD RT_STRING_ = 6;
const WORD RT_GROUP_ICON_ = 14;
const WORD RT_VERSION_ = 16;

const cesim::ResourceFile& Res()
{
    static const cesim::ResourceFile file = cesim::ResourceFile::Read(VELTO_RES);
    return file;
}

std::string Narrow(const std::u16string& text)
{
    std::string out;
    for (char16_t c : text)
        out += c < 0x80 ? (char)c : '?';
    return out;
}

const std::vector<uint8_t>& Data(WORD type, WORD id)
{
    const cesim::ResourceEntry* e = Res().Find(type, id);
    if (e == nullptr)
        throw std::runtime_error("velto.res has no resource of type " + std::to_string(type) + " and id " +
                                 std::to_string(id));
    return e->data;
}

std::string Name(const char* kind, WORD id) { return std::string(kind) + " " + std::to_string(id); }

// ---------------------------------------------------------------- the whole set

TEST(VeltoResourceSet, EachResourceExistsOnceInOneLanguage)
{
    std::set<std::pair<WORD, WORD>> seen;
    std::set<WORD> languages;
    for (const cesim::ResourceEntry& e : Res().Entries()) {
        ASSERT_TRUE(e.type.is_number);
        ASSERT_TRUE(e.name.is_number) << "a resource of type " << e.type.number << " is named by text";
        EXPECT_TRUE(seen.insert({e.type.number, e.name.number}).second)
            << "type " << e.type.number << " id " << e.name.number << " occurs twice";
        languages.insert(e.language);
    }
    EXPECT_EQ(languages, (std::set<WORD>{0x0409}));
}

// ---------------------------------------------------------------- strings

TEST(VeltoResourceStrings, EveryTextAsCatalogued)
{
    const std::map<UINT, std::u16string> catalogue = {
        {1, u"Velto"},
        {3, u"Velto"},
        {201, u"TaskBar"},
        {202, u"Tray"},
        {203, u"OnTop"},
        {204, u"Monitoring"},
        {205, u"Ok button"},
        {206, u"Close button"},
        {207, u"Settings"},
        {208, u"Close All"},
        {209, u"About Velto"},
        {500, u"Desktop"},
        {501, u"DesktopExplorerWindow"},
        {503, u"HHTaskBar"},
        {504, u"TOP MENU"},
        {505, u"TOP MENU"},
    };
    for (const auto& [id, text] : catalogue) {
        std::optional<std::u16string> s = Res().String(id);
        ASSERT_TRUE(s.has_value()) << "string " << id << " is missing";
        EXPECT_EQ(Narrow(*s), Narrow(text)) << "string " << id;
    }
}

TEST(VeltoResourceStrings, Slot502HoldsNoText)
{
    std::optional<std::u16string> s = Res().String(502);
    EXPECT_TRUE(!s.has_value() || s->empty()) << "string 502 holds \"" << Narrow(*s) << "\"";
}

TEST(VeltoResourceStrings, NoTextIsLongerThan99Characters)
{
    for (const cesim::ResourceEntry& e : Res().Entries()) {
        if (!e.type.is_number || e.type.number != RT_STRING_ || !e.name.is_number)
            continue;
        for (UINT slot = 0; slot < 16; ++slot) {
            UINT id = (UINT)(e.name.number - 1) * 16 + slot;
            std::optional<std::u16string> s = Res().String(id);
            ASSERT_TRUE(s.has_value()) << "string block " << e.name.number << " is cut short at string " << id;
            EXPECT_LE(s->size(), 99u) << "string " << id;
        }
    }
}

// ---------------------------------------------------------------- icons

struct Size {
    int width;
    int height;
    int bit_count;
};

bool operator==(const Size& a, const Size& b)
{
    return a.width == b.width && a.height == b.height && a.bit_count == b.bit_count;
}

std::ostream& operator<<(std::ostream& out, const Size& s)
{
    return out << s.width << " x " << s.height << " at " << s.bit_count << " bits";
}

const std::map<WORD, std::vector<Size>> ICON_GROUPS = {
    {101, {{16, 16, 4}, {32, 32, 8}}},
    {104, {{16, 16, 4}}},
    {105, {{16, 16, 4}}},
    {106, {{16, 16, 4}}},
    {107, {{32, 32, 4}}},
    {109, {{16, 16, 4}}},
    {113, {{16, 16, 4}}},
};

// The standard 16-colour palette, in its usual order.
const Colour STANDARD_16[16] = {
    {0x00, 0x00, 0x00}, {0x80, 0x00, 0x00}, {0x00, 0x80, 0x00}, {0x80, 0x80, 0x00},
    {0x00, 0x00, 0x80}, {0x80, 0x00, 0x80}, {0x00, 0x80, 0x80}, {0xC0, 0xC0, 0xC0},
    {0x80, 0x80, 0x80}, {0xFF, 0x00, 0x00}, {0x00, 0xFF, 0x00}, {0xFF, 0xFF, 0x00},
    {0x00, 0x00, 0xFF}, {0xFF, 0x00, 0xFF}, {0x00, 0xFF, 0xFF}, {0xFF, 0xFF, 0xFF},
};

const Colour BLACK = {0, 0, 0};
const Colour WHITE = {0xFF, 0xFF, 0xFF};
const Colour RED = {0xFF, 0, 0};
const Colour GREY = {0x80, 0x80, 0x80};
const Colour LIGHT_GREY = {0xC0, 0xC0, 0xC0};

cesim::IconGroup Group(WORD id) { return cesim::DecodeIconGroup(Data(RT_GROUP_ICON_, id), Name("icon group", id)); }

// The image of group `group` that is `size` pixels wide.
cesim::IconImage Image(WORD group, int size)
{
    for (const cesim::IconGroupEntry& e : Group(group).entries) {
        if (e.width == size)
            return cesim::DecodeIconImage(Data(RT_ICON_, e.image_id), Name("icon image", e.image_id));
    }
    throw std::runtime_error("icon group " + std::to_string(group) + " has no image " + std::to_string(size) +
                             " pixels wide");
}

TEST(VeltoResourceIcons, GroupsHoldTheCataloguedImages)
{
    for (const auto& [id, sizes] : ICON_GROUPS) {
        cesim::IconGroup g = Group(id);
        std::vector<Size> listed;
        for (const cesim::IconGroupEntry& e : g.entries)
            listed.push_back({e.width, e.height, e.bit_count});
        EXPECT_EQ(listed, sizes) << "icon group " << id;
    }
}

TEST(VeltoResourceIcons, ImagesAreWhatTheirGroupsSay)
{
    for (const auto& [id, sizes] : ICON_GROUPS) {
        for (const cesim::IconGroupEntry& e : Group(id).entries) {
            const std::vector<uint8_t>& data = Data(RT_ICON_, e.image_id);
            cesim::IconImage image = cesim::DecodeIconImage(data, Name("icon image", e.image_id));
            EXPECT_EQ((Size{image.width, image.height, image.bit_count}), (Size{e.width, e.height, e.bit_count}))
                << "icon group " << id << ", image " << e.image_id;
            EXPECT_EQ(e.bytes, data.size()) << "icon group " << id << ", image " << e.image_id;
            EXPECT_EQ(e.planes, 1) << "icon group " << id;
            EXPECT_EQ(e.colour_count, e.bit_count == 4 ? 16 : 0) << "icon group " << id;
        }
    }
}

TEST(VeltoResourceIcons, EveryImageHasAMask)
{
    for (const auto& [id, sizes] : ICON_GROUPS) {
        for (const cesim::IconGroupEntry& e : Group(id).entries) {
            cesim::IconImage image = cesim::DecodeIconImage(Data(RT_ICON_, e.image_id));
            EXPECT_TRUE(image.has_mask) << "icon group " << id << ", image " << e.image_id;
        }
    }
}

TEST(VeltoResourceIcons, FourBitImagesUseTheStandardPalette)
{
    for (const auto& [id, sizes] : ICON_GROUPS) {
        for (const cesim::IconGroupEntry& e : Group(id).entries) {
            cesim::IconImage image = cesim::DecodeIconImage(Data(RT_ICON_, e.image_id));
            if (image.bit_count != 4)
                continue;
            ASSERT_EQ(image.colour_table_size, 16) << "icon group " << id;
            for (int i = 0; i < 16; ++i)
                EXPECT_EQ(image.palette[i], STANDARD_16[i]) << "icon group " << id << ", colour " << i;
        }
    }
}

TEST(VeltoResourceIcons, OkTrayIconIsTheSmallAppImage)
{
    cesim::IconGroup app = Group(101);
    cesim::IconGroup ok = Group(104);
    ASSERT_EQ(ok.entries.size(), 1u);
    const cesim::IconGroupEntry* small = nullptr;
    for (const cesim::IconGroupEntry& e : app.entries) {
        if (e.width == 16)
            small = &e;
    }
    ASSERT_NE(small, nullptr);
    EXPECT_EQ(Data(RT_ICON_, ok.entries[0].image_id), Data(RT_ICON_, small->image_id));
}

// Opaque pixels, and how many of them have `colour`.
struct Census {
    int opaque = 0;
    int clear = 0;
    std::map<std::tuple<int, int, int>, int> colours;
    int Count(const Colour& c) const
    {
        auto it = colours.find({c.red, c.green, c.blue});
        return it == colours.end() ? 0 : it->second;
    }
};

Census Take(const cesim::IconImage& image)
{
    Census c;
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            if (image.Masked(x, y)) {
                ++c.clear;
                continue;
            }
            ++c.opaque;
            Colour colour = image.ColourAt(x, y);
            ++c.colours[{colour.red, colour.green, colour.blue}];
        }
    }
    return c;
}

// Black on a transparent background: every opaque pixel black, the corners
// see-through.
void ExpectBlackOnTransparent(const cesim::IconImage& image, const std::string& name)
{
    Census c = Take(image);
    EXPECT_GT(c.opaque, image.width * image.height / 10) << name;
    EXPECT_GT(c.clear, image.width * image.height / 3) << name;
    EXPECT_EQ(c.Count(BLACK), c.opaque) << name << ": opaque pixels that are not black";
    int last = image.width - 1;
    EXPECT_TRUE(image.Masked(0, 0) && image.Masked(last, 0) && image.Masked(0, last) && image.Masked(last, last))
        << name << ": a corner is opaque";
}

// Up arrow on the left, down arrow on the right: the widest row of each half
// (the arrow head) lies in the top half on the left, the bottom on the right.
void ExpectArrowsUpAndDown(const cesim::IconImage& image, const Colour& ink, const std::string& name)
{
    int half = image.width / 2;
    for (int side = 0; side < 2; ++side) {
        int widest_row = -1, widest = 0;
        for (int y = 0; y < image.height; ++y) {
            int n = 0;
            for (int x = side * half; x < (side + 1) * half; ++x)
                n += !image.Masked(x, y) && image.ColourAt(x, y) == ink;
            if (n > widest) {
                widest = n;
                widest_row = y;
            }
        }
        ASSERT_GT(widest, 0) << name << ": nothing drawn on the " << (side == 0 ? "left" : "right");
        if (side == 0)
            EXPECT_LT(widest_row, image.height / 2) << name << ": the left arrow does not point up";
        else
            EXPECT_GE(widest_row, image.height / 2) << name << ": the right arrow does not point down";
    }
}

TEST(VeltoResourceIcons, AppIconIsBlackOnTransparent)
{
    ExpectBlackOnTransparent(Image(101, 16), "icon 101, 16 x 16");
    ExpectBlackOnTransparent(Image(101, 32), "icon 101, 32 x 32");
}

TEST(VeltoResourceIcons, TrayIconIsBlackArrowsOnTransparent)
{
    cesim::IconImage tray = Image(113, 16);
    ExpectBlackOnTransparent(tray, "icon 113");
    ExpectArrowsUpAndDown(tray, BLACK, "icon 113");
}

TEST(VeltoResourceIcons, ActiveTrayIconIsTheNegativeOfTheTrayIcon)
{
    cesim::IconImage tray = Image(113, 16);
    cesim::IconImage active = Image(106, 16);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            EXPECT_FALSE(active.Masked(x, y)) << "icon 106 is see-through at (" << x << ", " << y << ")";
            Colour expected = tray.Masked(x, y) ? BLACK : WHITE;
            EXPECT_EQ(active.ColourAt(x, y), expected) << "icon 106 at (" << x << ", " << y << ")";
        }
    }
    ExpectArrowsUpAndDown(active, WHITE, "icon 106");
}

TEST(VeltoResourceIcons, LargeArrowsAreBlackArrowsOnTransparent)
{
    cesim::IconImage large = Image(107, 32);
    ExpectBlackOnTransparent(large, "icon 107");
    ExpectArrowsUpAndDown(large, BLACK, "icon 107");
}

TEST(VeltoResourceIcons, CloseIconIsARedRingWithAWhiteFaceAndRedX)
{
    cesim::IconImage close = Image(105, 16);
    Census c = Take(close);
    EXPECT_EQ(c.Count(BLACK) + c.Count(RED) + c.Count(WHITE), c.opaque) << "icon 105 has other colours";
    EXPECT_GT(c.Count(RED), 30);
    EXPECT_GT(c.Count(WHITE), 30);
    EXPECT_GT(c.Count(BLACK), 20);
    EXPECT_TRUE(close.Masked(0, 0) && close.Masked(15, 15)) << "icon 105 is not round";
    // The middle of the face is where the red strokes of the X cross.
    EXPECT_EQ(close.ColourAt(7, 7), RED);
    EXPECT_EQ(close.ColourAt(8, 8), RED);
}

TEST(VeltoResourceIcons, CloseGlyphShowsTheMenuThroughItsX)
{
    cesim::IconImage glyph = Image(109, 16);
    // A light-grey frame, opaque all round.
    for (int i = 0; i < 16; ++i) {
        for (auto [x, y] : {std::pair{i, 0}, {i, 15}, {0, i}, {15, i}}) {
            ASSERT_FALSE(glyph.Masked(x, y)) << "icon 109's frame is see-through at (" << x << ", " << y << ")";
            EXPECT_EQ(glyph.ColourAt(x, y), LIGHT_GREY) << "icon 109's frame at (" << x << ", " << y << ")";
        }
    }
    Census c = Take(glyph);
    EXPECT_GT(c.Count(RED), 100) << "icon 109 is not mostly red";
    EXPECT_GT(c.Count(GREY), 10) << "icon 109 has no grey X";
    EXPECT_EQ(c.Count(LIGHT_GREY) + c.Count(RED) + c.Count(GREY), c.opaque) << "icon 109 has other colours";
    int inside_clear = 0;
    for (int y = 1; y < 15; ++y) {
        for (int x = 1; x < 15; ++x)
            inside_clear += glyph.Masked(x, y);
    }
    EXPECT_GT(inside_clear, 0) << "icon 109 has no see-through pixels inside its frame";
    EXPECT_EQ(inside_clear, c.clear);
}

// ---------------------------------------------------------------- bitmaps

cesim::Bitmap Face(WORD id) { return cesim::DecodeBitmap(Data(RT_BITMAP_, id), Name("bitmap", id)); }

const int FRAME = 20;

// How many pixels of a frame (0: left, 1: right) pass `test`.
template <typename Test>
int CountIn(const cesim::Bitmap& bmp, int frame, Test test)
{
    int n = 0;
    for (int y = 0; y < FRAME; ++y) {
        for (int x = 0; x < FRAME; ++x)
            n += test(bmp.ColourAt(frame * FRAME + x, y)) ? 1 : 0;
    }
    return n;
}

int Brightness(const cesim::Bitmap& bmp, int frame)
{
    int sum = 0;
    for (int y = 0; y < FRAME; ++y) {
        for (int x = 0; x < FRAME; ++x) {
            Colour c = bmp.ColourAt(frame * FRAME + x, y);
            sum += c.red + c.green + c.blue;
        }
    }
    return sum / (FRAME * FRAME);
}

bool Greenish(const Colour& c) { return c.green > c.red && c.green > c.blue; }
bool Reddish(const Colour& c) { return c.red > c.green && c.red > c.blue; }
bool Greyish(const Colour& c) { return std::abs(c.red - c.green) <= 8 && std::abs(c.green - c.blue) <= 8; }
bool White(const Colour& c) { return c == WHITE; }

TEST(VeltoResourceBitmaps, FortyByTwentyAtEightBitsWithFullColourTables)
{
    for (WORD id : {110, 111, 112}) {
        cesim::Bitmap bmp = Face(id);
        EXPECT_EQ(bmp.width, 40) << "bitmap " << id;
        EXPECT_EQ(bmp.height, 20) << "bitmap " << id;
        EXPECT_EQ(bmp.bit_count, 8) << "bitmap " << id;
        EXPECT_EQ(bmp.compression, 0u) << "bitmap " << id;
        EXPECT_EQ(bmp.colour_table_size, 256) << "bitmap " << id;
        EXPECT_EQ(bmp.palette.size(), 256u) << "bitmap " << id;
    }
}

TEST(VeltoResourceBitmaps, PressedFrameDiffersFromTheFrameAtRest)
{
    for (WORD id : {110, 111, 112}) {
        cesim::Bitmap bmp = Face(id);
        int different = 0;
        for (int y = 0; y < FRAME; ++y) {
            for (int x = 0; x < FRAME; ++x)
                different += bmp.ColourAt(x, y) != bmp.ColourAt(FRAME + x, y);
        }
        EXPECT_GT(different, FRAME * FRAME / 4) << "bitmap " << id;
    }
}

TEST(VeltoResourceBitmaps, OkFaceIsGreenWithWhiteLetters)
{
    cesim::Bitmap bmp = Face(110);
    for (int frame = 0; frame < 2; ++frame) {
        EXPECT_GT(CountIn(bmp, frame, Greenish), FRAME * FRAME * 6 / 10) << "frame " << frame;
        EXPECT_GT(CountIn(bmp, frame, White), 20) << "frame " << frame;
    }
    EXPECT_GT(Brightness(bmp, 1), Brightness(bmp, 0)) << "the pressed frame is not lighter";
}

TEST(VeltoResourceBitmaps, CloseFaceIsRedWithAWhiteX)
{
    cesim::Bitmap bmp = Face(111);
    for (int frame = 0; frame < 2; ++frame) {
        EXPECT_GT(CountIn(bmp, frame, Reddish), FRAME * FRAME * 6 / 10) << "frame " << frame;
        // The two strokes of the X cross in the middle of the face.
        Colour centre = bmp.ColourAt(frame * FRAME + 10 + frame, 10 + frame);
        EXPECT_GT(centre.green, 200) << "frame " << frame << ": no white X in the middle";
        EXPECT_GT(centre.blue, 200) << "frame " << frame << ": no white X in the middle";
    }
    EXPECT_GT(Brightness(bmp, 1), Brightness(bmp, 0)) << "the pressed frame is not lighter";
}

TEST(VeltoResourceBitmaps, IdleFaceIsGreyAndUpsideDownWhenPressed)
{
    cesim::Bitmap bmp = Face(112);
    EXPECT_EQ(CountIn(bmp, 0, Greyish), FRAME * FRAME);
    EXPECT_GT(CountIn(bmp, 0, White), FRAME) << "no white band";
    for (int y = 0; y < FRAME; ++y) {
        for (int x = 0; x < FRAME; ++x)
            EXPECT_EQ(bmp.ColourAt(FRAME + x, y), bmp.ColourAt(x, FRAME - 1 - y)) << "(" << x << ", " << y << ")";
    }
}

// ---------------------------------------------------------------- the About box

cesim::DialogTemplate About() { return cesim::DecodeDialog(Data(RT_DIALOG_, 103), "dialog 103"); }

TEST(VeltoResourceAboutDialog, IsAClassicTemplate) { EXPECT_FALSE(About().extended); }

TEST(VeltoResourceAboutDialog, HeaderAsCatalogued)
{
    cesim::DialogTemplate d = About();
    EXPECT_EQ(d.style, 0x80000040u);
    EXPECT_EQ(d.ex_style, 0x80000000u);
    EXPECT_EQ(d.item_count, 3);
    EXPECT_EQ(d.x, 0);
    EXPECT_EQ(d.y, 0);
    EXPECT_EQ(d.cx, 132);
    EXPECT_EQ(d.cy, 54);
}

TEST(VeltoResourceAboutDialog, NoMenuClassOrTitle)
{
    cesim::DialogTemplate d = About();
    EXPECT_EQ(d.menu.kind, cesim::NameOrOrdinal::NONE);
    EXPECT_EQ(d.class_name.kind, cesim::NameOrOrdinal::NONE);
    EXPECT_EQ(Narrow(d.title), "");
}

TEST(VeltoResourceAboutDialog, EightPointSystemFont)
{
    cesim::DialogTemplate d = About();
    EXPECT_TRUE(d.has_font);
    EXPECT_EQ(d.point_size, 8);
    EXPECT_EQ(Narrow(d.font_face), "System");
}

TEST(VeltoResourceAboutDialog, ThreeStaticControlsWithoutIds)
{
    cesim::DialogTemplate d = About();
    ASSERT_EQ(d.items.size(), 3u);
    for (size_t i = 0; i < d.items.size(); ++i) {
        const cesim::DialogItem& item = d.items[i];
        EXPECT_EQ(item.class_name.kind, cesim::NameOrOrdinal::ORDINAL) << "control " << i + 1;
        EXPECT_EQ(item.class_name.ordinal, 0x0082) << "control " << i + 1;
        EXPECT_EQ(item.id, 0xFFFFu) << "control " << i + 1;
        EXPECT_TRUE(item.creation_data.empty()) << "control " << i + 1;
    }
}

TEST(VeltoResourceAboutDialog, ControlStylesPositionsAndSizes)
{
    struct Expected {
        DWORD style;
        SHORT x, y, cx, cy;
    };
    const Expected expected[3] = {
        {0x50000003, 11, 17, 20, 20},
        {0x50020080, 38, 10, 84, 8},
        {0x50020000, 38, 25, 70, 8},
    };
    cesim::DialogTemplate d = About();
    ASSERT_EQ(d.items.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        const cesim::DialogItem& item = d.items[i];
        EXPECT_EQ(item.style, expected[i].style) << "control " << i + 1;
        EXPECT_EQ(item.x, expected[i].x) << "control " << i + 1;
        EXPECT_EQ(item.y, expected[i].y) << "control " << i + 1;
        EXPECT_EQ(item.cx, expected[i].cx) << "control " << i + 1;
        EXPECT_EQ(item.cy, expected[i].cy) << "control " << i + 1;
    }
}

TEST(VeltoResourceAboutDialog, IconControlShowsTheAppIcon)
{
    cesim::DialogTemplate d = About();
    ASSERT_EQ(d.items.size(), 3u);
    EXPECT_EQ(d.items[0].text.kind, cesim::NameOrOrdinal::ORDINAL);
    EXPECT_EQ(d.items[0].text.ordinal, 101);
    EXPECT_NE(Res().Find(RT_GROUP_ICON_, 101), nullptr);
}

TEST(VeltoResourceAboutDialog, TextsOfTheStaticControls)
{
    cesim::DialogTemplate d = About();
    ASSERT_EQ(d.items.size(), 3u);
    EXPECT_EQ(d.items[1].text.kind, cesim::NameOrOrdinal::TEXT);
    EXPECT_EQ(Narrow(d.items[1].text.text), "Velto Version 0.9 build 7");
    EXPECT_EQ(d.items[2].text.kind, cesim::NameOrOrdinal::TEXT);
    EXPECT_FALSE(d.items[2].text.text.empty()) << "no legal notice";
}

// ---------------------------------------------------------------- the version record

cesim::VersionInfo Version() { return cesim::DecodeVersion(Data(RT_VERSION_, 1), "version record 1"); }

TEST(VeltoResourceVersion, FixedPartAsCatalogued)
{
    cesim::VersionInfo v = Version();
    ASSERT_TRUE(v.has_fixed);
    EXPECT_EQ(cesim::VersionText(v.fixed.file_version_ms, v.fixed.file_version_ls), "0.9.0.8");
    EXPECT_EQ(cesim::VersionText(v.fixed.product_version_ms, v.fixed.product_version_ls), "0.9.0.8");
    EXPECT_EQ(v.fixed.flags_mask, 0x3Fu);
    EXPECT_EQ(v.fixed.flags, 0u);
    EXPECT_EQ(v.fixed.os, 0x40004u);
    EXPECT_EQ(v.fixed.type, 1u);
    EXPECT_EQ(v.fixed.subtype, 0u);
    EXPECT_EQ(v.fixed.date_ms, 0u);
    EXPECT_EQ(v.fixed.date_ls, 0u);
}

TEST(VeltoResourceVersion, OneStringBlockWithTheTwelveKeysInOrder)
{
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"Comments", "Switch and PocketPC Ok button"},
        {"CompanyName", "Zav"},
        {"FileDescription", "Velto"},
        {"FileVersion", "0, 9, 0, 8"},
        {"InternalName", "Velto"},
        {"LegalCopyright", ""},  // the notice: checked below
        {"LegalTrademarks", ""},
        {"OriginalFilename", "velto.exe"},
        {"PrivateBuild", ""},
        {"ProductName", "Zav Velto"},
        {"ProductVersion", "0, 9, 0, 8"},
        {"SpecialBuild", ""},
    };
    cesim::VersionInfo v = Version();
    ASSERT_EQ(v.string_tables.size(), 1u);
    EXPECT_EQ(Narrow(v.string_tables[0].key), "040904b0");
    const auto& strings = v.string_tables[0].strings;
    ASSERT_EQ(strings.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(Narrow(strings[i].key), expected[i].first) << "string " << i + 1;
        if (expected[i].first != "LegalCopyright")
            EXPECT_EQ(Narrow(strings[i].value), expected[i].second) << expected[i].first;
    }
}

TEST(VeltoResourceVersion, LegalNoticeMatchesTheAboutBox)
{
    cesim::VersionInfo v = Version();
    ASSERT_EQ(v.string_tables.size(), 1u);
    const cesim::VersionString* notice = nullptr;
    for (const cesim::VersionString& s : v.string_tables[0].strings) {
        if (s.key == u"LegalCopyright")
            notice = &s;
    }
    ASSERT_NE(notice, nullptr);
    EXPECT_FALSE(notice->value.empty());
    cesim::DialogTemplate d = About();
    ASSERT_EQ(d.items.size(), 3u);
    EXPECT_EQ(Narrow(notice->value), Narrow(d.items[2].text.text));
}

TEST(VeltoResourceVersion, OneTranslationUsEnglishUnicode)
{
    cesim::VersionInfo v = Version();
    ASSERT_EQ(v.translations.size(), 1u);
    EXPECT_EQ(v.translations[0].language, 0x0409);
    EXPECT_EQ(v.translations[0].code_page, 1200);
}

}  // namespace
