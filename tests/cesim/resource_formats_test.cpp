// The resource decoders on small hand-built byte sequences, well-formed and
// broken: a broken one must give a cesim::Error that says what is wrong,
// never a crash or a read past the end.
#include "sim_support.h"

#include <cesim/resource_formats.h>

#include <string>
#include <vector>

namespace {

using cesim::Error;
using simtest::ExpectErrorSays;
using Data = std::vector<uint8_t>;

// Little-endian bytes, built field by field.
struct Builder {
    Data bytes;

    Builder& Word(uint16_t v)
    {
        bytes.push_back((uint8_t)v);
        bytes.push_back((uint8_t)(v >> 8));
        return *this;
    }
    Builder& Dword(uint32_t v)
    {
        Word((uint16_t)v);
        return Word((uint16_t)(v >> 16));
    }
    // UTF-16 text and its NUL.
    Builder& Text(const std::u16string& text)
    {
        for (char16_t c : text)
            Word(c);
        return Word(0);
    }
    Builder& Raw(const Data& data)
    {
        bytes.insert(bytes.end(), data.begin(), data.end());
        return *this;
    }
    Builder& Align4()
    {
        while (bytes.size() % 4 != 0)
            bytes.push_back(0);
        return *this;
    }
    void PutWord(size_t at, uint16_t v)
    {
        bytes[at] = (uint8_t)v;
        bytes[at + 1] = (uint8_t)(v >> 8);
    }
};

// Several fields at once, compared as one list.
template <class... T>
std::vector<long long> Fields(T... values)
{
    return {(long long)values...};
}

// ---------------------------------------------------------------- icon groups

Data TwoImageGroup()
{
    Builder b;
    b.Word(0).Word(1).Word(2);
    b.Raw({16, 16, 16, 0}).Word(1).Word(4).Dword(296).Word(7);
    b.Raw({0, 0, 0, 0}).Word(1).Word(32).Dword(70000).Word(9);
    return b.bytes;
}

TEST(cesimResourceIconGroupDecoder, ReadsEveryEntry)
{
    cesim::IconGroup g = cesim::DecodeIconGroup(TwoImageGroup());
    ASSERT_EQ(g.entries.size(), 2u);
    const cesim::IconGroupEntry &a = g.entries[0], &b = g.entries[1];
    EXPECT_EQ(Fields(1, 16, 16, 16, 1, 4, 296, 7),
              Fields(g.type, a.width, a.height, a.colour_count, a.planes, a.bit_count, a.bytes, a.image_id));
    // A stored 0 is 256 pixels.
    EXPECT_EQ(Fields(256, 256, 0, 32, 70000, 9),
              Fields(b.width, b.height, b.colour_count, b.bit_count, b.bytes, b.image_id));
    EXPECT_TRUE(cesim::DecodeIconGroup(Builder().Word(0).Word(1).Word(0).bytes).entries.empty());
}

// ---------------------------------------------------------------- icon images

// A 4 x 2 icon at 4 bits per pixel: colour rows bottom row first, then the
// mask. Top row: indexes 1 2 3 4, clear at x = 0; bottom row: 15 0 0 9,
// clear at x = 3.
Data SmallIcon(bool with_mask = true)
{
    Builder b;
    b.Dword(40).Dword(4).Dword(4).Word(1).Word(4).Dword(0).Dword(0).Dword(0).Dword(0).Dword(0).Dword(0);
    for (int i = 0; i < 16; ++i)
        b.Raw({(uint8_t)(i * 16), (uint8_t)i, (uint8_t)(255 - i), 0});
    b.Raw({0xF0, 0x09, 0, 0});  // bottom row
    b.Raw({0x12, 0x34, 0, 0});  // top row
    if (with_mask)
        b.Raw({0x10, 0, 0, 0, 0x80, 0, 0, 0});  // bottom row: x = 3; top row: x = 0
    return b.bytes;
}

const size_t SMALL_ICON_COLOUR_END = 40 + 64 + 8;

TEST(cesimResourceIconImageDecoder, ReadsSizeDepthColourTablePixelsFromTheTopAndTheMask)
{
    cesim::IconImage icon = cesim::DecodeIconImage(SmallIcon());
    // The height is half the DIB's.
    EXPECT_EQ(Fields(4, 2, 4, 16, 16, true), Fields(icon.width, icon.height, icon.bit_count, icon.colour_table_size,
                                                   icon.palette.size(), icon.has_mask));
    EXPECT_EQ(icon.palette[3], (cesim::Colour{252, 3, 48}));
    EXPECT_EQ(Fields(1, 2, 3, 4, 15, 9), Fields(icon.Pixel(0, 0), icon.Pixel(1, 0), icon.Pixel(2, 0), icon.Pixel(3, 0),
                                              icon.Pixel(0, 1), icon.Pixel(3, 1)));
    EXPECT_EQ(icon.ColourAt(0, 1), icon.palette[15]);
    EXPECT_EQ(Fields(true, false, false, true),
              Fields(icon.Masked(0, 0), icon.Masked(1, 0), icon.Masked(0, 1), icon.Masked(3, 1)));
}

TEST(cesimResourceIconImageDecoder, TellsWhenTheMaskIsMissing)
{
    cesim::IconImage icon = cesim::DecodeIconImage(SmallIcon(false));
    EXPECT_FALSE(icon.has_mask);
    ExpectErrorSays([&] { icon.Masked(0, 0); }, {"no AND mask"});
    Data short_mask = SmallIcon();
    short_mask.pop_back();
    EXPECT_FALSE(cesim::DecodeIconImage(short_mask).has_mask);
}

TEST(cesimResourceIconImageDecoder, RejectsPixelsOutsideThePicture)
{
    cesim::IconImage icon = cesim::DecodeIconImage(SmallIcon(), "icon 3");
    ExpectErrorSays([&] { icon.Pixel(4, 0); }, {"icon 3", "outside the 4 x 2 picture"});
    EXPECT_THROW(icon.Pixel(0, 2), Error);
    EXPECT_THROW(icon.Pixel(-1, 0), Error);
    EXPECT_THROW(icon.Masked(0, -1), Error);
}

// ---------------------------------------------------------------- bitmaps

Builder BitmapHeader(int32_t width, int32_t height, uint16_t bits, uint32_t compression, uint32_t used)
{
    Builder b;
    b.Dword(40).Dword((uint32_t)width).Dword((uint32_t)height).Word(1).Word(bits).Dword(compression);
    b.Dword(0).Dword(0).Dword(0).Dword(used).Dword(0);
    return b;
}

// 3 x 2 at 8 bits per pixel with a 2-entry table, green and red; rows
// bottom first, or top first with a negative height.
Data SmallBitmap(int32_t height = 2)
{
    Builder b = BitmapHeader(3, height, 8, 0, 2);
    b.Raw({0, 0xFF, 0, 0});  // green
    b.Raw({0, 0, 0xFF, 0});  // red
    b.Raw({1, 1, 1, 0});     // first stored row
    b.Raw({0, 1, 0, 0});     // second stored row
    return b.bytes;
}

const cesim::Colour RED{0xFF, 0, 0}, GREEN{0, 0xFF, 0}, BLUE{0, 0, 0xFF}, WHITE{0xFF, 0xFF, 0xFF};

struct PixelAt {
    int x, y;
    DWORD value;
};

struct ColourAt {
    int x, y;
    cesim::Colour colour;
};

struct BitmapLayout {
    const char* what;
    Data bytes;
    // width, height, bit count, top-down, compression, colours used, colour table size, palette size
    std::vector<long long> header;
    std::vector<PixelAt> pixels;    // (x, y) from the top-left corner
    std::vector<ColourAt> colours;
};

TEST(cesimResourceBitmapDecoder, ReadsEachLayoutWithPixelsFromTheTop)
{
    Builder core;  // the old 12-byte header: 2 x 1 at 4 bits, 16 three-byte entries, all blue but the first
    core.Dword(12).Word(2).Word(1).Word(1).Word(4);
    core.Raw({0, 0, 0});
    for (int i = 1; i < 16; ++i)
        core.Raw({0xFF, 0, 0});
    core.Raw({0x0F, 0, 0, 0});
    const BitmapLayout rows[] = {
        {"rows bottom first", SmallBitmap(), {3, 2, 8, false, 0, 2, 2, 2},
         {{0, 0, 0}, {1, 0, 1}, {2, 0, 0}, {0, 1, 1}}, {{1, 0, RED}, {0, 0, GREEN}}},
        {"rows top first", SmallBitmap(-2), {3, 2, 8, true, 0, 2, 2, 2}, {{0, 0, 1}, {1, 1, 1}, {0, 1, 0}}, {}},
        {"a full table when colours used is 0",
         BitmapHeader(9, 1, 1, 0, 0).Dword(0).Dword(0x00FFFFFF).Raw({0x80, 0x80, 0, 0}).bytes,  // pixels 0 and 8 set
         {9, 1, 1, false, 0, 0, 2, 2}, {{0, 0, 1}, {1, 0, 0}, {7, 0, 0}, {8, 0, 1}}, {{8, 0, WHITE}}},
        {"true colour", BitmapHeader(2, 1, 24, 0, 0).Raw({0x10, 0x20, 0x30, 0xFF, 0xFE, 0xFD, 0, 0}).bytes,
         {2, 1, 24, false, 0, 0, 0, 0}, {{0, 0, 0x302010}}, {{0, 0, {0x30, 0x20, 0x10}}, {1, 0, {0xFD, 0xFE, 0xFF}}}},
        {"16 bits, 5-6-5 masks after the header",
         BitmapHeader(2, 1, 16, 3, 0).Dword(0xF800).Dword(0x07E0).Dword(0x001F).Word(0xF800).Word(0x07E0).bytes,
         {2, 1, 16, false, 3, 0, 0, 0}, {}, {{0, 0, RED}, {1, 0, GREEN}}},
        {"the old core header", core.bytes, {2, 1, 4, false, 0, 0, 16, 16}, {{0, 0, 0}, {1, 0, 15}}, {{1, 0, BLUE}}},
    };
    for (const BitmapLayout& row : rows) {
        SCOPED_TRACE(row.what);
        cesim::Bitmap bmp = cesim::DecodeBitmap(row.bytes);
        EXPECT_EQ(row.header, Fields(bmp.width, bmp.height, bmp.bit_count, bmp.top_down, bmp.compression,
                                     bmp.colours_used, bmp.colour_table_size, bmp.palette.size()));
        for (const PixelAt& p : row.pixels)
            EXPECT_EQ(p.value, bmp.Pixel(p.x, p.y)) << p.x << "," << p.y;
        for (const ColourAt& c : row.colours)
            EXPECT_EQ(c.colour, bmp.ColourAt(c.x, c.y)) << c.x << "," << c.y;
    }
}

TEST(cesimResourceBitmapDecoder, ColourIndexPastTheTableIsAnError)
{
    Data d = SmallBitmap();
    d[d.size() - 4] = 7;  // top-left pixel: index 7 of 2
    cesim::Bitmap bmp = cesim::DecodeBitmap(d);
    EXPECT_EQ(bmp.Pixel(0, 0), 7u);
    ExpectErrorSays([&] { bmp.ColourAt(0, 0); }, {"colour index 7", "only 2 entries"});
}

// ---------------------------------------------------------------- dialog templates

// A classic template with a font and two controls: an icon control whose
// class and text are ordinals, and a control with a class name, text of odd
// length (so the next control needs padding) and creation data.
Data ClassicDialog()
{
    Builder b;
    b.Dword(0x80000040).Dword(0x80000000).Word(2).Word(1).Word(2).Word(132).Word(54);
    b.Word(0xFFFF).Word(7);     // menu 7
    b.Text(u"Pane");            // class
    b.Text(u"Hi");              // title
    b.Word(8).Text(u"System");  // the font (DS_SETFONT)
    b.Align4();
    b.Dword(0x50000003).Dword(0).Word(11).Word(17).Word(20).Word(20).Word(0xFFFF);
    b.Word(0xFFFF).Word(0x0082).Word(0xFFFF).Word(101).Word(0);
    b.Align4();
    b.Dword(0x50020080).Dword(0x4).Word((uint16_t)-3).Word(10).Word(84).Word(8).Word(42);
    b.Text(u"Ed").Text(u"abc").Word(3).Raw({0xA, 0xB, 0xC});
    return b.bytes;
}

TEST(cesimResourceDialogDecoder, ReadsTheClassicFormAndItsControls)
{
    cesim::DialogTemplate d = cesim::DecodeDialog(ClassicDialog());
    EXPECT_EQ(Fields(false, 0x80000040, 0x80000000, 2, 1, 2, 132, 54, true, 8, ClassicDialog().size()),
              Fields(d.extended, d.style, d.ex_style, d.item_count, d.x, d.y, d.cx, d.cy, d.has_font, d.point_size,
                     d.size));
    EXPECT_EQ(Fields(cesim::NameOrOrdinal::ORDINAL, 7, cesim::NameOrOrdinal::TEXT),
              Fields(d.menu.kind, d.menu.ordinal, d.class_name.kind));
    EXPECT_EQ(d.class_name.text, u"Pane");
    EXPECT_EQ(d.title, u"Hi");
    EXPECT_EQ(d.font_face, u"System");
    // The controls, each at a DWORD boundary.
    ASSERT_EQ(d.items.size(), 2u);
    const cesim::DialogItem &icon = d.items[0], &edit = d.items[1];
    EXPECT_EQ(Fields(0x50000003, 0, 11, 17, 20, 20, 0xFFFF, cesim::NameOrOrdinal::ORDINAL, 0x0082,
                     cesim::NameOrOrdinal::ORDINAL, 101, 0),
              Fields(icon.style, icon.ex_style, icon.x, icon.y, icon.cx, icon.cy, icon.id, icon.class_name.kind,
                     icon.class_name.ordinal, icon.text.kind, icon.text.ordinal, icon.creation_data.size()));
    EXPECT_EQ(Fields(0x50020080, 4, -3, 84, 42, cesim::NameOrOrdinal::TEXT, cesim::NameOrOrdinal::TEXT),
              Fields(edit.style, edit.ex_style, edit.x, edit.cx, edit.id, edit.class_name.kind, edit.text.kind));
    EXPECT_EQ(edit.class_name.text, u"Ed");
    EXPECT_EQ(edit.text.text, u"abc");
    EXPECT_EQ(edit.creation_data, (Data{0xA, 0xB, 0xC}));
}

TEST(cesimResourceDialogDecoder, NoFontWithoutSetFont)
{
    Builder b;
    b.Dword(0x80000000).Dword(0).Word(0).Word(0).Word(0).Word(10).Word(10);
    b.Word(0).Word(0).Word(0);
    cesim::DialogTemplate d = cesim::DecodeDialog(b.bytes);
    EXPECT_EQ(Fields(false, cesim::NameOrOrdinal::NONE, cesim::NameOrOrdinal::NONE, 0, 0, 0, 24),
              Fields(d.has_font, d.menu.kind, d.class_name.kind, d.title.size(), d.font_face.size(), d.items.size(),
                     d.size));
}

TEST(cesimResourceDialogDecoder, ReadsTheExtendedForm)
{
    Builder b;
    b.Word(1).Word(0xFFFF).Dword(77).Dword(0x8).Dword(0x80C80040).Word(1).Word(5).Word(6).Word(100).Word(50);
    b.Word(0).Word(0xFFFF).Word(0x8002).Text(u"Title");
    b.Word(9).Word(700).Raw({1, 2}).Text(u"Tahoma");
    b.Align4();
    b.Dword(55).Dword(0x200).Dword(0x50010000).Word(1).Word(2).Word(30).Word(12).Dword(70000);
    b.Word(0xFFFF).Word(0x0080).Text(u"OK").Word(0);
    cesim::DialogTemplate d = cesim::DecodeDialog(b.bytes);
    EXPECT_EQ(Fields(true, 1, 77, 8, 0x80C80040, 100, 0x8002, 9, 700, 1, 2, 1),
              Fields(d.extended, d.version, d.help_id, d.ex_style, d.style, d.cx, d.class_name.ordinal, d.point_size,
                     d.weight, d.italic, d.charset, d.items.size()));
    EXPECT_EQ(d.title, u"Title");
    EXPECT_EQ(d.font_face, u"Tahoma");
    const cesim::DialogItem& ok = d.items.at(0);
    EXPECT_EQ(Fields(55, 0x200, 0x50010000, 70000, 0x0080),
              Fields(ok.help_id, ok.ex_style, ok.style, ok.id, ok.class_name.ordinal));
    EXPECT_EQ(ok.text.text, u"OK");
}

TEST(cesimResourceDialogDecoder, ReadsFromAnAddressWithinTheGivenSize)
{
    Data d = ClassicDialog();
    d.push_back(0xEE);  // beyond the template: not part of it
    cesim::DialogTemplate t = cesim::DecodeDialog(d.data(), d.size() - 1);
    EXPECT_EQ(t.items.size(), 2u);
    EXPECT_THROW(cesim::DecodeDialog(d.data(), 20), Error);
    EXPECT_THROW(cesim::DecodeDialog(nullptr, 0), Error);
}

// ---------------------------------------------------------------- version records

// One block: header, key, value and children, each on a DWORD boundary;
// its length leaves out the padding after its last part.
Data Block(const std::u16string& key, uint16_t type, const Data& value, uint16_t value_length,
           const std::vector<Data>& children = {})
{
    Builder b;
    b.Word(0).Word(value_length).Word(type).Text(key).Align4().Raw(value);
    for (const Data& child : children)
        b.Align4().Raw(child);
    b.PutWord(0, (uint16_t)b.bytes.size());
    return b.bytes;
}

Data TextBlock(const std::u16string& key, const std::u16string& value)
{
    Builder v;
    v.Text(value);
    return Block(key, 1, v.bytes, (uint16_t)(value.size() + 1));
}

Data FixedInfo(uint32_t signature = 0xFEEF04BD)
{
    Builder f;
    f.Dword(signature).Dword(0x10000).Dword(0x00010002).Dword(0x00030004).Dword(0x00050006).Dword(0x00070008);
    f.Dword(0x3F).Dword(0x2).Dword(0x40004).Dword(1).Dword(0).Dword(0x11).Dword(0x22);
    return f.bytes;
}

Data VersionRecord(const Data& fixed = FixedInfo())
{
    Builder translation;
    translation.Word(0x0409).Word(1200).Word(0x0407).Word(1252);
    return Block(u"VS_VERSION_INFO", 0, fixed, (uint16_t)fixed.size(),
                 {Block(u"StringFileInfo", 1, {}, 0,
                        {Block(u"040904b0", 1, {}, 0,
                               {TextBlock(u"Comments", u"Some words"), TextBlock(u"Empty", u""),
                                Block(u"Bare", 1, {}, 0), TextBlock(u"Name", u"Velto")})}),
                  Block(u"VarFileInfo", 1, {}, 0, {Block(u"Translation", 0, translation.bytes, 8)})});
}

TEST(cesimResourceVersionDecoder, ReadsTheFixedPartStringsAndTranslations)
{
    cesim::VersionInfo v = cesim::DecodeVersion(VersionRecord());
    const cesim::FixedFileInfo& f = v.fixed;
    EXPECT_EQ(Fields(true, 0xFEEF04BD, 0x10000, 0x3F, 2, 0x40004, 1, 0, 0x11, 0x22),
              Fields(v.has_fixed, f.signature, f.struct_version, f.flags_mask, f.flags, f.os, f.type, f.subtype,
                     f.date_ms, f.date_ls));
    EXPECT_EQ(cesim::VersionText(f.file_version_ms, f.file_version_ls), "1.2.3.4");
    EXPECT_EQ(cesim::VersionText(f.product_version_ms, f.product_version_ls), "5.6.7.8");
    cesim::VersionInfo without = cesim::DecodeVersion(VersionRecord({}));  // the fixed part is optional
    EXPECT_FALSE(without.has_fixed);
    EXPECT_EQ(without.string_tables.size(), 1u);
    // The strings and translations, in order.
    ASSERT_EQ(v.string_tables.size(), 1u);
    EXPECT_EQ(v.string_tables[0].key, u"040904b0");
    std::vector<std::u16string> strings;
    for (const cesim::VersionString& s : v.string_tables[0].strings) {
        strings.push_back(s.key);
        strings.push_back(s.value);
    }
    EXPECT_EQ((std::vector<std::u16string>{u"Comments", u"Some words", u"Empty", u"", u"Bare", u"", u"Name", u"Velto"}),
              strings);
    ASSERT_EQ(v.translations.size(), 2u);
    EXPECT_EQ(Fields(0x0409, 1200, 0x0407, 1252), Fields(v.translations[0].language, v.translations[0].code_page,
                                                       v.translations[1].language, v.translations[1].code_page));
}

// ---------------------------------------------------------------- broken data

// Each decoder, called alike; the result does not matter here.
using Decoder = void (*)(const Data&, const std::string&);
const Decoder GROUP = [](const Data& d, const std::string& origin) { cesim::DecodeIconGroup(d, origin); };
const Decoder IMAGE = [](const Data& d, const std::string& origin) { cesim::DecodeIconImage(d, origin); };
const Decoder BITMAP = [](const Data& d, const std::string& origin) { cesim::DecodeBitmap(d, origin); };
const Decoder DIALOG = [](const Data& d, const std::string& origin) { cesim::DecodeDialog(d, origin); };
const Decoder VERSION = [](const Data& d, const std::string& origin) { cesim::DecodeVersion(d, origin); };

Data Changed(Data data, size_t at, uint8_t value)
{
    data[at] = value;
    return data;
}

Data Cut(Data data, size_t size)
{
    data.resize(size);
    return data;
}

struct Broken {
    Decoder decoder;
    Data data;
    std::vector<std::string> says;  // what the error names, the origin first
};

// Each decoder rejects what it cannot read with an Error that names the
// resource, what is wrong and, where it can, the offset.
TEST(cesimResourceDecoders, RejectBrokenDataSayingWhatIsWrong)
{
    Builder textWithoutNul;  // no menu, no class, a title "Ti" that runs to the end
    textWithoutNul.Dword(0).Dword(0).Word(0).Word(0).Word(0).Word(10).Word(10);
    textWithoutNul.Word(0).Word(0).Word('T').Word('i');
    const Broken rows[] = {
        {GROUP, Cut(TwoImageGroup(), 6 + 14 + 5), {"group 7", "lists 2 images"}},
        {GROUP, Changed(TwoImageGroup(), 2, 2), {"icon group", "type is 2"}},
        {GROUP, Changed(TwoImageGroup(), 0, 5), {"icon group", "reserved word"}},
        {IMAGE, Changed(SmallIcon(), 8, 3), {"icon image", "odd"}},
        {IMAGE, {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13}, {"icon image", "PNG"}},
        {IMAGE, Cut(SmallIcon(), SMALL_ICON_COLOUR_END - 1), {"icon image", "pixel rows", "offset 104"}},
        {BITMAP, BitmapHeader(4, 4, 8, 1, 0).bytes, {"bitmap", "compression 1"}},
        {BITMAP, BitmapHeader(4, 4, 8, 0, 300).bytes, {"bitmap", "300 colours"}},
        {BITMAP, BitmapHeader(4, 4, 5, 0, 0).bytes, {"bitmap", "5 bits"}},
        {BITMAP, BitmapHeader(0, 4, 8, 0, 0).bytes, {"bitmap", "width 0"}},
        {BITMAP, BitmapHeader(4, 0, 8, 0, 0).bytes, {"bitmap", "height 0"}},
        {BITMAP, BitmapHeader(4, 4, 8, 0, 0xFFFFFFFF).bytes, {"bitmap"}},
        {BITMAP, Changed(SmallBitmap(), 12, 3), {"bitmap", "3 colour planes"}},
        {BITMAP, Changed(SmallBitmap(), 0, 20), {"bitmap", "header size is 20"}},
        {BITMAP, Cut(SmallBitmap(), 45), {"bitmap 110", "colour table of 2 entries", "offset 40"}},
        {DIALOG, Builder().Word(2).Word(0xFFFF).Raw(Data(28, 0)).bytes, {"dialog template", "version 2"}},
        {DIALOG, Changed(ClassicDialog(), 8, 3), {"dialog 103", "declares 3 controls", "control 3 of 3"}},
        {DIALOG, textWithoutNul.bytes, {"dialog template", "title has no terminating NUL", "offset 22"}},
        {VERSION, VersionRecord(FixedInfo(0x12345678)), {"version record", "signature 0x12345678", "offset 40"}},
        {VERSION, VersionRecord(Cut(FixedInfo(), 20)), {"version record", "fewer than the 52"}},
        {VERSION, Block(u"VS_VERSION_INFX", 0, {}, 0), {"version record", "VS_VERSION_INFX"}},
        // The StringFileInfo block starts right after the 52-byte fixed part, at 92.
        {VERSION, Changed(Changed(VersionRecord(), 92, 0xF0), 93, 0x0F),
         {"version record", "4080 bytes long", "offset 92"}},
        {VERSION, Changed(Changed(VersionRecord(), 92, 4), 93, 0),
         {"version record", "less than its own 6-byte header"}},
    };
    for (const Broken& row : rows)
        ExpectErrorSays([&] { row.decoder(row.data, row.says[0]); }, row.says);
}

// Every prefix of well-formed data that stops short of what the decoder
// needs is rejected.
TEST(cesimResourceDecoders, RejectEveryTruncation)
{
    const struct {
        Decoder decoder;
        Data data;
        size_t needed;
    } rows[] = {
        {GROUP, TwoImageGroup(), TwoImageGroup().size()},
        {IMAGE, SmallIcon(), SMALL_ICON_COLOUR_END},
        {BITMAP, SmallBitmap(), SmallBitmap().size()},
        {DIALOG, ClassicDialog(), ClassicDialog().size()},
        {VERSION, VersionRecord(), VersionRecord().size()},
    };
    for (const auto& row : rows) {
        for (size_t n = 0; n < row.needed; ++n) {
            Data prefix(row.data.begin(), row.data.begin() + n);
            EXPECT_THROW(row.decoder(prefix, "data"), Error) << "prefix of " << n << " bytes";
        }
    }
}

}  // namespace
