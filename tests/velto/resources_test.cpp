// Velto's resources as compiled: the string table, the icons, the button
// faces, the About box template and the version record, each against the
// catalogue of what the program loads and relies on. What the pictures show
// is tools/make_images.py's to say, and the test that runs it with --check
// keeps the committed files to what it draws; here each picture is the
// committed file that the resource script names for its id.
#include <cesim/resource_file.h>
#include <cesim/resource_formats.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
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
    EXPECT_EQ((std::set<WORD>{0x0409}), languages);
}

// ---------------------------------------------------------------- strings

// Slot 502 holds no text: the taskbar is looked up with an empty title.
TEST(VeltoResourceStrings, EveryTextAsCatalogued)
{
    // The class and title, the menu's texts, the shell's names.
    const std::map<UINT, std::u16string> catalogue = {
        {1, u"Velto"}, {3, u"Velto"},
        {201, u"TaskBar"}, {202, u"Tray"}, {203, u"OnTop"}, {204, u"Monitoring"}, {205, u"Ok button"},
        {206, u"Close button"}, {207, u"Settings"}, {208, u"Close All"}, {209, u"About Velto"},
        {500, u"Desktop"}, {501, u"DesktopExplorerWindow"}, {502, u""}, {503, u"HHTaskBar"},
        {504, u"TOP MENU"}, {505, u"TOP MENU"},
    };
    for (const auto& [id, text] : catalogue) {
        std::optional<std::u16string> s = Res().String(id);
        ASSERT_TRUE(s.has_value() || text.empty()) << "string " << id << " is missing";
        EXPECT_EQ(Narrow(text), Narrow(s.value_or(u""))) << "string " << id;
    }
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

// ---------------------------------------------------------------- icons and bitmaps

// A committed picture's bytes.
std::vector<uint8_t> File(const std::string& path)
{
    std::ifstream in(std::string(VELTO_SOURCE_DIR) + "/res/" + path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read res/" + path);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

uint32_t Bytes4(const std::vector<uint8_t>& data, size_t at)
{
    return (uint32_t)data.at(at) | (uint32_t)data.at(at + 1) << 8 | (uint32_t)data.at(at + 2) << 16 |
           (uint32_t)data.at(at + 3) << 24;
}

// An image's width, height and bits per pixel.
using Size = std::tuple<int, int, int>;

struct IconCase {
    WORD id;
    const char* file;
    std::vector<Size> sizes;
};

const IconCase ICONS[] = {
    {101, "icons/app.ico", {{16, 16, 4}, {32, 32, 8}}},
    {104, "icons/ok.ico", {{16, 16, 4}}},
    {105, "icons/close.ico", {{16, 16, 4}}},
    {106, "icons/tray_active.ico", {{16, 16, 4}}},
    {107, "icons/arrows_large.ico", {{32, 32, 4}}},
    {109, "icons/close_glyph.ico", {{16, 16, 4}}},
    {113, "icons/tray.ico", {{16, 16, 4}}},
};

// The standard 16-colour palette, in its usual order.
const Colour STANDARD_16[16] = {
    {0x00, 0x00, 0x00}, {0x80, 0x00, 0x00}, {0x00, 0x80, 0x00}, {0x80, 0x80, 0x00},
    {0x00, 0x00, 0x80}, {0x80, 0x00, 0x80}, {0x00, 0x80, 0x80}, {0xC0, 0xC0, 0xC0},
    {0x80, 0x80, 0x80}, {0xFF, 0x00, 0x00}, {0x00, 0xFF, 0x00}, {0xFF, 0xFF, 0x00},
    {0x00, 0x00, 0xFF}, {0xFF, 0x00, 0xFF}, {0x00, 0xFF, 0xFF}, {0xFF, 0xFF, 0xFF},
};

cesim::IconGroup Group(WORD id) { return cesim::DecodeIconGroup(Data(RT_GROUP_ICON_, id), Name("icon group", id)); }

// Each icon group holds the catalogued images, each what the group says it
// is, with a mask, a 4-bit one in the standard palette, and each image is the
// one of that size in the committed icon file.
TEST(VeltoResourceIcons, GroupsHoldTheCataloguedImagesOfTheirFiles)
{
    for (const IconCase& c : ICONS) {
        SCOPED_TRACE(Name("icon group", c.id));
        const std::vector<uint8_t> file = File(c.file);
        std::vector<Size> listed;
        for (const cesim::IconGroupEntry& e : Group(c.id).entries) {
            listed.push_back({e.width, e.height, e.bit_count});
            const std::vector<uint8_t>& data = Data(RT_ICON_, e.image_id);
            cesim::IconImage image = cesim::DecodeIconImage(data, Name("icon image", e.image_id));
            EXPECT_EQ((Size{e.width, e.height, e.bit_count}), (Size{image.width, image.height, image.bit_count}));
            EXPECT_EQ(e.bytes, data.size());
            EXPECT_EQ(1, e.planes);
            EXPECT_EQ(e.bit_count == 4 ? 16 : 0, e.colour_count);
            EXPECT_TRUE(image.has_mask);
            if (image.bit_count == 4) {
                ASSERT_EQ(16, image.colour_table_size);
                for (int i = 0; i < 16; ++i)
                    EXPECT_EQ(STANDARD_16[i], image.palette[i]) << "colour " << i;
            }
            // The file's directory entry of the same width names the image's bytes.
            std::vector<uint8_t> in_file;
            for (size_t k = 0; k < (size_t)(file.at(4) | file.at(5) << 8); ++k) {
                const size_t entry = 6 + 16 * k;
                if ((file.at(entry) == 0 ? 256 : file.at(entry)) == e.width)
                    in_file.assign(file.begin() + Bytes4(file, entry + 12),
                                   file.begin() + Bytes4(file, entry + 12) + Bytes4(file, entry + 8));
            }
            EXPECT_TRUE(in_file == data) << "the " << e.width << "-pixel image is not the one in res/" << c.file;
        }
        EXPECT_EQ(c.sizes, listed);
    }
}

// The button's faces: 40 x 20 at 8 bits, a full colour table, each the
// committed bitmap file without its file header.
TEST(VeltoResourceBitmaps, FacesAreTheirFilesFortyByTwentyAtEightBits)
{
    for (auto [id, file] : {std::pair<WORD, const char*>{110, "bitmaps/button_ok.bmp"},
                            {111, "bitmaps/button_close.bmp"},
                            {112, "bitmaps/button_idle.bmp"}}) {
        SCOPED_TRACE(Name("bitmap", id));
        cesim::Bitmap bmp = cesim::DecodeBitmap(Data(RT_BITMAP_, id), Name("bitmap", id));
        EXPECT_EQ(40, bmp.width);
        EXPECT_EQ(20, bmp.height);
        EXPECT_EQ(8, bmp.bit_count);
        EXPECT_EQ(0u, bmp.compression);
        EXPECT_EQ(256, bmp.colour_table_size);
        EXPECT_EQ(256u, bmp.palette.size());
        const std::vector<uint8_t> bytes = File(file);
        EXPECT_TRUE(std::vector<uint8_t>(bytes.begin() + 14, bytes.end()) == Data(RT_BITMAP_, id))
            << "not the picture in res/" << file;
    }
}

// ---------------------------------------------------------------- the About box

constexpr const char* LEGAL_NOTICE = "Copyright (C) 2026 Zav";

std::string Hex(DWORD value)
{
    char text[16];
    std::snprintf(text, sizeof(text), "0x%X", (unsigned)value);
    return text;
}

std::string Describe(const cesim::NameOrOrdinal& n)
{
    if (n.kind == cesim::NameOrOrdinal::NONE)
        return "none";
    if (n.kind == cesim::NameOrOrdinal::ORDINAL)
        return "#" + std::to_string(n.ordinal);
    return "\"" + Narrow(n.text) + "\"";
}

// The template written out: the header, then each control.
std::vector<std::string> Describe(const cesim::DialogTemplate& d)
{
    std::vector<std::string> lines = {
        std::string(d.extended ? "extended" : "classic") + ", style " + Hex(d.style) + ", exstyle " +
        Hex(d.ex_style) + ", " + std::to_string(d.item_count) + " controls, (" + std::to_string(d.x) + ", " +
        std::to_string(d.y) + ") " + std::to_string(d.cx) + " x " + std::to_string(d.cy) + ", menu " +
        Describe(d.menu) + ", class " + Describe(d.class_name) + ", title \"" + Narrow(d.title) + "\", font " +
        (d.has_font ? std::to_string(d.point_size) + " \"" + Narrow(d.font_face) + "\"" : "none")};
    for (const cesim::DialogItem& item : d.items) {
        lines.push_back("class " + Describe(item.class_name) + ", id " + Hex(item.id) + ", style " +
                        Hex(item.style) + ", (" + std::to_string(item.x) + ", " + std::to_string(item.y) + ") " +
                        std::to_string(item.cx) + " x " + std::to_string(item.cy) + ", " + Describe(item.text) +
                        (item.creation_data.empty() ? "" : ", creation data"));
    }
    return lines;
}

// A classic template with the OK caption button, three static controls
// without ids: the program's icon (101, which exists), the version and the
// maker's notice.
TEST(VeltoResourceAboutDialog, TemplateAsCatalogued)
{
    cesim::DialogTemplate d = cesim::DecodeDialog(Data(RT_DIALOG_, 103), "dialog 103");
    EXPECT_EQ((std::vector<std::string>{
                  "classic, style 0x80000040, exstyle 0x80000000, 3 controls, (0, 0) 132 x 54, menu none, "
                  "class none, title \"\", font 8 \"System\"",
                  "class #130, id 0xFFFF, style 0x50000003, (11, 17) 20 x 20, #101",
                  "class #130, id 0xFFFF, style 0x50020080, (38, 10) 84 x 8, \"Velto Version 0.9 build 7\"",
                  "class #130, id 0xFFFF, style 0x50020000, (38, 25) 70 x 8, \"" + std::string(LEGAL_NOTICE) + "\"",
              }),
              Describe(d));
    EXPECT_NE(nullptr, Res().Find(RT_GROUP_ICON_, 101));
}

// ---------------------------------------------------------------- the version record

cesim::VersionInfo Version() { return cesim::DecodeVersion(Data(RT_VERSION_, 1), "version record 1"); }

TEST(VeltoResourceVersion, FixedPartAsCatalogued)
{
    cesim::VersionInfo v = Version();
    ASSERT_TRUE(v.has_fixed);
    EXPECT_EQ("0.9.0.8", cesim::VersionText(v.fixed.file_version_ms, v.fixed.file_version_ls));
    EXPECT_EQ("0.9.0.8", cesim::VersionText(v.fixed.product_version_ms, v.fixed.product_version_ls));
    EXPECT_EQ(0x3Fu, v.fixed.flags_mask);
    EXPECT_EQ(0u, v.fixed.flags);
    EXPECT_EQ(0x40004u, v.fixed.os);
    EXPECT_EQ(1u, v.fixed.type);
    EXPECT_EQ(0u, v.fixed.subtype);
    EXPECT_EQ(0u, v.fixed.date_ms);
    EXPECT_EQ(0u, v.fixed.date_ls);
}

// One string block with the twelve keys in order, the legal notice the About box's;
// one translation, US English in Unicode.
TEST(VeltoResourceVersion, StringsAndTranslationAsCatalogued)
{
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"Comments", "Switch and PocketPC Ok button"}, {"CompanyName", "Zav"},
        {"FileDescription", "Velto"}, {"FileVersion", "0, 9, 0, 8"},
        {"InternalName", "Velto"}, {"LegalCopyright", LEGAL_NOTICE},
        {"LegalTrademarks", ""}, {"OriginalFilename", "velto.exe"},
        {"PrivateBuild", ""}, {"ProductName", "Zav Velto"},
        {"ProductVersion", "0, 9, 0, 8"}, {"SpecialBuild", ""},
    };
    cesim::VersionInfo v = Version();
    ASSERT_EQ(1u, v.string_tables.size());
    EXPECT_EQ("040904b0", Narrow(v.string_tables[0].key));
    std::vector<std::pair<std::string, std::string>> strings;
    for (const cesim::VersionString& s : v.string_tables[0].strings)
        strings.push_back({Narrow(s.key), Narrow(s.value)});
    EXPECT_EQ(expected, strings);
    ASSERT_EQ(1u, v.translations.size());
    EXPECT_EQ(0x0409, v.translations[0].language);
    EXPECT_EQ(1200, v.translations[0].code_page);
}

}  // namespace
