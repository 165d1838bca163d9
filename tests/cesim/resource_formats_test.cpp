// The resource decoders on small hand-built byte sequences, well-formed and
// broken: a broken one must give a cesim::Error that says what is wrong,
// never a crash or a read past the end.
#include <cesim/resource_formats.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

using cesim::Error;
using Data = std::vector<uint8_t>;

// Little-endian bytes, built field by field.
struct Builder {
    Data bytes;

    Builder& Byte(uint8_t v)
    {
        bytes.push_back(v);
        return *this;
    }
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

// The message of the Error that `f` throws; fails the test if it throws none.
std::string ErrorOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const Error& e) {
        return e.what();
    }
    ADD_FAILURE() << "no cesim::Error was thrown";
    return "";
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Every prefix of `data` shorter than `needed` must be rejected with an Error.
void ExpectEveryPrefixRejected(const Data& data, size_t needed, const std::function<void(const Data&)>& decode)
{
    for (size_t n = 0; n < needed && n <= data.size(); ++n) {
        Data prefix(data.begin(), data.begin() + n);
        EXPECT_THROW(decode(prefix), Error) << "prefix of " << n << " bytes";
    }
}

// ---------------------------------------------------------------- icon groups

Data TwoImageGroup()
{
    Builder b;
    b.Word(0).Word(1).Word(2);
    b.Byte(16).Byte(16).Byte(16).Byte(0).Word(1).Word(4).Dword(296).Word(7);
    b.Byte(0).Byte(0).Byte(0).Byte(0).Word(1).Word(32).Dword(70000).Word(9);
    return b.bytes;
}

TEST(ResourceIconGroupDecoder, ReadsEveryEntry)
{
    cesim::IconGroup g = cesim::DecodeIconGroup(TwoImageGroup());
    EXPECT_EQ(g.type, 1);
    ASSERT_EQ(g.entries.size(), 2u);
    EXPECT_EQ(g.entries[0].width, 16);
    EXPECT_EQ(g.entries[0].height, 16);
    EXPECT_EQ(g.entries[0].colour_count, 16);
    EXPECT_EQ(g.entries[0].planes, 1);
    EXPECT_EQ(g.entries[0].bit_count, 4);
    EXPECT_EQ(g.entries[0].bytes, 296u);
    EXPECT_EQ(g.entries[0].image_id, 7);
    // A stored 0 is 256 pixels.
    EXPECT_EQ(g.entries[1].width, 256);
    EXPECT_EQ(g.entries[1].height, 256);
    EXPECT_EQ(g.entries[1].colour_count, 0);
    EXPECT_EQ(g.entries[1].bit_count, 32);
    EXPECT_EQ(g.entries[1].bytes, 70000u);
    EXPECT_EQ(g.entries[1].image_id, 9);
}

TEST(ResourceIconGroupDecoder, EmptyGroupHasNoEntries)
{
    Builder b;
    b.Word(0).Word(1).Word(0);
    EXPECT_TRUE(cesim::DecodeIconGroup(b.bytes).entries.empty());
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
        b.Byte((uint8_t)(i * 16)).Byte((uint8_t)i).Byte((uint8_t)(255 - i)).Byte(0);
    b.Byte(0xF0).Byte(0x09).Byte(0).Byte(0);  // bottom row
    b.Byte(0x12).Byte(0x34).Byte(0).Byte(0);  // top row
    if (with_mask) {
        b.Byte(0x10).Byte(0).Byte(0).Byte(0);  // bottom row: x = 3
        b.Byte(0x80).Byte(0).Byte(0).Byte(0);  // top row: x = 0
    }
    return b.bytes;
}

const size_t SMALL_ICON_COLOUR_END = 40 + 64 + 8;

TEST(ResourceIconImageDecoder, ReadsSizeDepthAndColourTable)
{
    cesim::IconImage icon = cesim::DecodeIconImage(SmallIcon());
    EXPECT_EQ(icon.width, 4);
    EXPECT_EQ(icon.height, 2);  // half the DIB height
    EXPECT_EQ(icon.bit_count, 4);
    EXPECT_EQ(icon.colour_table_size, 16);
    ASSERT_EQ(icon.palette.size(), 16u);
    EXPECT_EQ(icon.palette[3], (cesim::Colour{252, 3, 48}));
    EXPECT_TRUE(icon.has_mask);
}

TEST(ResourceIconImageDecoder, AddressesPixelsFromTheTop)
{
    cesim::IconImage icon = cesim::DecodeIconImage(SmallIcon());
    EXPECT_EQ(icon.Pixel(0, 0), 1u);
    EXPECT_EQ(icon.Pixel(1, 0), 2u);
    EXPECT_EQ(icon.Pixel(2, 0), 3u);
    EXPECT_EQ(icon.Pixel(3, 0), 4u);
    EXPECT_EQ(icon.Pixel(0, 1), 15u);
    EXPECT_EQ(icon.Pixel(3, 1), 9u);
    EXPECT_EQ(icon.ColourAt(0, 1), icon.palette[15]);
}

TEST(ResourceIconImageDecoder, ReadsTheMask)
{
    cesim::IconImage icon = cesim::DecodeIconImage(SmallIcon());
    EXPECT_TRUE(icon.Masked(0, 0));
    EXPECT_FALSE(icon.Masked(1, 0));
    EXPECT_FALSE(icon.Masked(0, 1));
    EXPECT_TRUE(icon.Masked(3, 1));
}

TEST(ResourceIconImageDecoder, TellsWhenTheMaskIsMissing)
{
    cesim::IconImage icon = cesim::DecodeIconImage(SmallIcon(false));
    EXPECT_FALSE(icon.has_mask);
    EXPECT_TRUE(Contains(ErrorOf([&] { icon.Masked(0, 0); }), "no AND mask"));
    Data short_mask = SmallIcon();
    short_mask.pop_back();
    EXPECT_FALSE(cesim::DecodeIconImage(short_mask).has_mask);
}

TEST(ResourceIconImageDecoder, RejectsPixelsOutsideThePicture)
{
    cesim::IconImage icon = cesim::DecodeIconImage(SmallIcon(), "icon 3");
    std::string message = ErrorOf([&] { icon.Pixel(4, 0); });
    EXPECT_TRUE(Contains(message, "icon 3")) << message;
    EXPECT_TRUE(Contains(message, "outside the 4 x 2 picture")) << message;
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

// 3 x 2 at 8 bits per pixel with a 2-entry table; rows bottom first.
Data SmallBitmap()
{
    Builder b = BitmapHeader(3, 2, 8, 0, 2);
    b.Byte(0).Byte(0xFF).Byte(0).Byte(0);  // green
    b.Byte(0).Byte(0).Byte(0xFF).Byte(0);  // red
    b.Byte(1).Byte(1).Byte(1).Byte(0);     // bottom row
    b.Byte(0).Byte(1).Byte(0).Byte(0);     // top row
    return b.bytes;
}

TEST(ResourceBitmapDecoder, ReadsHeaderAndColourTable)
{
    cesim::Bitmap bmp = cesim::DecodeBitmap(SmallBitmap());
    EXPECT_EQ(bmp.width, 3);
    EXPECT_EQ(bmp.height, 2);
    EXPECT_EQ(bmp.bit_count, 8);
    EXPECT_FALSE(bmp.top_down);
    EXPECT_EQ(bmp.compression, 0u);
    EXPECT_EQ(bmp.colours_used, 2u);
    EXPECT_EQ(bmp.colour_table_size, 2);
    ASSERT_EQ(bmp.palette.size(), 2u);
    EXPECT_EQ(bmp.palette[0], (cesim::Colour{0, 0xFF, 0}));
    EXPECT_EQ(bmp.palette[1], (cesim::Colour{0xFF, 0, 0}));
}

TEST(ResourceBitmapDecoder, AddressesPixelsFromTheTop)
{
    cesim::Bitmap bmp = cesim::DecodeBitmap(SmallBitmap());
    EXPECT_EQ(bmp.Pixel(0, 0), 0u);
    EXPECT_EQ(bmp.Pixel(1, 0), 1u);
    EXPECT_EQ(bmp.Pixel(2, 0), 0u);
    EXPECT_EQ(bmp.Pixel(0, 1), 1u);
    EXPECT_EQ(bmp.ColourAt(1, 0), (cesim::Colour{0xFF, 0, 0}));
    EXPECT_EQ(bmp.ColourAt(0, 0), (cesim::Colour{0, 0xFF, 0}));
}

TEST(ResourceBitmapDecoder, ReadsTopDownRows)
{
    Data d = SmallBitmap();
    Builder h = BitmapHeader(3, -2, 8, 0, 2);
    std::copy(h.bytes.begin(), h.bytes.end(), d.begin());
    cesim::Bitmap bmp = cesim::DecodeBitmap(d);
    EXPECT_TRUE(bmp.top_down);
    EXPECT_EQ(bmp.height, 2);
    EXPECT_EQ(bmp.Pixel(0, 0), 1u);  // the first stored row is now the top one
    EXPECT_EQ(bmp.Pixel(1, 1), 1u);
    EXPECT_EQ(bmp.Pixel(0, 1), 0u);
}

TEST(ResourceBitmapDecoder, FullTableWhenColoursUsedIsZero)
{
    Builder b = BitmapHeader(9, 1, 1, 0, 0);
    b.Dword(0).Dword(0x00FFFFFF);
    b.Byte(0x80).Byte(0x80).Byte(0).Byte(0);  // pixels 0 and 8 set
    cesim::Bitmap bmp = cesim::DecodeBitmap(b.bytes);
    EXPECT_EQ(bmp.colour_table_size, 2);
    EXPECT_EQ(bmp.Pixel(0, 0), 1u);
    EXPECT_EQ(bmp.Pixel(1, 0), 0u);
    EXPECT_EQ(bmp.Pixel(7, 0), 0u);
    EXPECT_EQ(bmp.Pixel(8, 0), 1u);
    EXPECT_EQ(bmp.ColourAt(8, 0), (cesim::Colour{0xFF, 0xFF, 0xFF}));
}

TEST(ResourceBitmapDecoder, ReadsTrueColour)
{
    Builder b = BitmapHeader(2, 1, 24, 0, 0);
    b.Byte(0x10).Byte(0x20).Byte(0x30).Byte(0xFF).Byte(0xFE).Byte(0xFD).Byte(0).Byte(0);
    cesim::Bitmap bmp = cesim::DecodeBitmap(b.bytes);
    EXPECT_EQ(bmp.colour_table_size, 0);
    EXPECT_EQ(bmp.Pixel(0, 0), 0x302010u);
    EXPECT_EQ(bmp.ColourAt(0, 0), (cesim::Colour{0x30, 0x20, 0x10}));
    EXPECT_EQ(bmp.ColourAt(1, 0), (cesim::Colour{0xFD, 0xFE, 0xFF}));
}

TEST(ResourceBitmapDecoder, ReadsSixteenBitsWithColourMasks)
{
    // 5-6-5, the masks after the 40-byte header.
    Builder b = BitmapHeader(2, 1, 16, 3, 0);
    b.Dword(0xF800).Dword(0x07E0).Dword(0x001F);
    b.Word(0xF800).Word(0x07E0);
    cesim::Bitmap bmp = cesim::DecodeBitmap(b.bytes);
    EXPECT_EQ(bmp.compression, 3u);
    EXPECT_EQ(bmp.ColourAt(0, 0), (cesim::Colour{0xFF, 0, 0}));
    EXPECT_EQ(bmp.ColourAt(1, 0), (cesim::Colour{0, 0xFF, 0}));
}

TEST(ResourceBitmapDecoder, ReadsTheOldCoreHeader)
{
    Builder b;
    b.Dword(12).Word(2).Word(1).Word(1).Word(4);
    b.Byte(0).Byte(0).Byte(0);
    for (int i = 1; i < 16; ++i)
        b.Byte(0xFF).Byte(0).Byte(0);  // blue
    b.Byte(0x0F).Byte(0).Byte(0).Byte(0);
    cesim::Bitmap bmp = cesim::DecodeBitmap(b.bytes);
    EXPECT_EQ(bmp.width, 2);
    EXPECT_EQ(bmp.colour_table_size, 16);
    EXPECT_EQ(bmp.Pixel(0, 0), 0u);
    EXPECT_EQ(bmp.Pixel(1, 0), 15u);
    EXPECT_EQ(bmp.ColourAt(1, 0), (cesim::Colour{0, 0, 0xFF}));
}

TEST(ResourceBitmapDecoder, ColourIndexPastTheTableIsAnError)
{
    Data d = SmallBitmap();
    d.back() = 0;
    d[d.size() - 2] = 0;
    d[d.size() - 4] = 7;  // top-left pixel: index 7 of 2
    cesim::Bitmap bmp = cesim::DecodeBitmap(d);
    EXPECT_EQ(bmp.Pixel(0, 0), 7u);
    std::string message = ErrorOf([&] { bmp.ColourAt(0, 0); });
    EXPECT_TRUE(Contains(message, "colour index 7")) << message;
    EXPECT_TRUE(Contains(message, "only 2 entries")) << message;
}

// ---------------------------------------------------------------- dialog templates

// A classic template with a font and two controls: an icon control whose
// class and text are ordinals, and a control with a class name, text of odd
// length (so the next control needs padding) and creation data.
Data ClassicDialog(uint32_t style = 0x80000040)
{
    Builder b;
    b.Dword(style).Dword(0x80000000).Word(2).Word(1).Word(2).Word(132).Word(54);
    b.Word(0xFFFF).Word(7);  // menu 7
    b.Text(u"Pane");         // class
    b.Text(u"Hi");           // title
    if (style & 0x40)
        b.Word(8).Text(u"System");
    b.Align4();
    b.Dword(0x50000003).Dword(0).Word(11).Word(17).Word(20).Word(20).Word(0xFFFF);
    b.Word(0xFFFF).Word(0x0082).Word(0xFFFF).Word(101).Word(0);
    b.Align4();
    b.Dword(0x50020080).Dword(0x4).Word((uint16_t)-3).Word(10).Word(84).Word(8).Word(42);
    b.Text(u"Ed").Text(u"abc").Word(3).Byte(0xA).Byte(0xB).Byte(0xC);
    return b.bytes;
}

TEST(ResourceDialogDecoder, ReadsTheClassicHeader)
{
    cesim::DialogTemplate d = cesim::DecodeDialog(ClassicDialog());
    EXPECT_FALSE(d.extended);
    EXPECT_EQ(d.style, 0x80000040u);
    EXPECT_EQ(d.ex_style, 0x80000000u);
    EXPECT_EQ(d.item_count, 2);
    EXPECT_EQ(d.x, 1);
    EXPECT_EQ(d.y, 2);
    EXPECT_EQ(d.cx, 132);
    EXPECT_EQ(d.cy, 54);
    EXPECT_EQ(d.menu.kind, cesim::NameOrOrdinal::ORDINAL);
    EXPECT_EQ(d.menu.ordinal, 7);
    EXPECT_EQ(d.class_name.kind, cesim::NameOrOrdinal::TEXT);
    EXPECT_EQ(d.class_name.text, u"Pane");
    EXPECT_EQ(d.title, u"Hi");
    EXPECT_TRUE(d.has_font);
    EXPECT_EQ(d.point_size, 8);
    EXPECT_EQ(d.font_face, u"System");
    EXPECT_EQ(d.size, ClassicDialog().size());
}

TEST(ResourceDialogDecoder, ReadsControlsAtTheirDwordBoundaries)
{
    cesim::DialogTemplate d = cesim::DecodeDialog(ClassicDialog());
    ASSERT_EQ(d.items.size(), 2u);
    const cesim::DialogItem& icon = d.items[0];
    EXPECT_EQ(icon.style, 0x50000003u);
    EXPECT_EQ(icon.ex_style, 0u);
    EXPECT_EQ(icon.x, 11);
    EXPECT_EQ(icon.y, 17);
    EXPECT_EQ(icon.cx, 20);
    EXPECT_EQ(icon.cy, 20);
    EXPECT_EQ(icon.id, 0xFFFFu);
    EXPECT_EQ(icon.class_name.kind, cesim::NameOrOrdinal::ORDINAL);
    EXPECT_EQ(icon.class_name.ordinal, 0x0082);
    EXPECT_EQ(icon.text.kind, cesim::NameOrOrdinal::ORDINAL);
    EXPECT_EQ(icon.text.ordinal, 101);
    EXPECT_TRUE(icon.creation_data.empty());

    const cesim::DialogItem& edit = d.items[1];
    EXPECT_EQ(edit.style, 0x50020080u);
    EXPECT_EQ(edit.ex_style, 4u);
    EXPECT_EQ(edit.x, -3);
    EXPECT_EQ(edit.cx, 84);
    EXPECT_EQ(edit.id, 42u);
    EXPECT_EQ(edit.class_name.kind, cesim::NameOrOrdinal::TEXT);
    EXPECT_EQ(edit.class_name.text, u"Ed");
    EXPECT_EQ(edit.text.kind, cesim::NameOrOrdinal::TEXT);
    EXPECT_EQ(edit.text.text, u"abc");
    EXPECT_EQ(edit.creation_data, (Data{0xA, 0xB, 0xC}));
}

TEST(ResourceDialogDecoder, NoFontWithoutSetFont)
{
    Builder b;
    b.Dword(0x80000000).Dword(0).Word(0).Word(0).Word(0).Word(10).Word(10);
    b.Word(0).Word(0).Word(0);
    cesim::DialogTemplate d = cesim::DecodeDialog(b.bytes);
    EXPECT_FALSE(d.has_font);
    EXPECT_EQ(d.menu.kind, cesim::NameOrOrdinal::NONE);
    EXPECT_EQ(d.class_name.kind, cesim::NameOrOrdinal::NONE);
    EXPECT_TRUE(d.title.empty());
    EXPECT_TRUE(d.font_face.empty());
    EXPECT_TRUE(d.items.empty());
    EXPECT_EQ(d.size, 24u);
}

TEST(ResourceDialogDecoder, ReadsTheExtendedForm)
{
    Builder b;
    b.Word(1).Word(0xFFFF).Dword(77).Dword(0x8).Dword(0x80C80040).Word(1).Word(5).Word(6).Word(100).Word(50);
    b.Word(0).Word(0xFFFF).Word(0x8002).Text(u"Title");
    b.Word(9).Word(700).Byte(1).Byte(2).Text(u"Tahoma");
    b.Align4();
    b.Dword(55).Dword(0x200).Dword(0x50010000).Word(1).Word(2).Word(30).Word(12).Dword(70000);
    b.Word(0xFFFF).Word(0x0080).Text(u"OK").Word(0);
    cesim::DialogTemplate d = cesim::DecodeDialog(b.bytes);
    EXPECT_TRUE(d.extended);
    EXPECT_EQ(d.version, 1);
    EXPECT_EQ(d.help_id, 77u);
    EXPECT_EQ(d.ex_style, 8u);
    EXPECT_EQ(d.style, 0x80C80040u);
    EXPECT_EQ(d.cx, 100);
    EXPECT_EQ(d.class_name.ordinal, 0x8002);
    EXPECT_EQ(d.title, u"Title");
    EXPECT_EQ(d.point_size, 9);
    EXPECT_EQ(d.weight, 700);
    EXPECT_EQ(d.italic, 1);
    EXPECT_EQ(d.charset, 2);
    EXPECT_EQ(d.font_face, u"Tahoma");
    ASSERT_EQ(d.items.size(), 1u);
    EXPECT_EQ(d.items[0].help_id, 55u);
    EXPECT_EQ(d.items[0].ex_style, 0x200u);
    EXPECT_EQ(d.items[0].style, 0x50010000u);
    EXPECT_EQ(d.items[0].id, 70000u);
    EXPECT_EQ(d.items[0].class_name.ordinal, 0x0080);
    EXPECT_EQ(d.items[0].text.text, u"OK");
}

TEST(ResourceDialogDecoder, ReadsFromAnAddressWithinTheGivenSize)
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

TEST(ResourceVersionDecoder, ReadsTheFixedPart)
{
    cesim::VersionInfo v = cesim::DecodeVersion(VersionRecord());
    ASSERT_TRUE(v.has_fixed);
    EXPECT_EQ(v.fixed.signature, 0xFEEF04BDu);
    EXPECT_EQ(v.fixed.struct_version, 0x10000u);
    EXPECT_EQ(cesim::VersionText(v.fixed.file_version_ms, v.fixed.file_version_ls), "1.2.3.4");
    EXPECT_EQ(cesim::VersionText(v.fixed.product_version_ms, v.fixed.product_version_ls), "5.6.7.8");
    EXPECT_EQ(v.fixed.flags_mask, 0x3Fu);
    EXPECT_EQ(v.fixed.flags, 2u);
    EXPECT_EQ(v.fixed.os, 0x40004u);
    EXPECT_EQ(v.fixed.type, 1u);
    EXPECT_EQ(v.fixed.subtype, 0u);
    EXPECT_EQ(v.fixed.date_ms, 0x11u);
    EXPECT_EQ(v.fixed.date_ls, 0x22u);
}

TEST(ResourceVersionDecoder, ReadsStringsInOrder)
{
    cesim::VersionInfo v = cesim::DecodeVersion(VersionRecord());
    ASSERT_EQ(v.string_tables.size(), 1u);
    EXPECT_EQ(v.string_tables[0].key, u"040904b0");
    const auto& s = v.string_tables[0].strings;
    ASSERT_EQ(s.size(), 4u);
    EXPECT_EQ(s[0].key, u"Comments");
    EXPECT_EQ(s[0].value, u"Some words");
    EXPECT_EQ(s[1].key, u"Empty");
    EXPECT_EQ(s[1].value, u"");
    EXPECT_EQ(s[2].key, u"Bare");
    EXPECT_EQ(s[2].value, u"");
    EXPECT_EQ(s[3].key, u"Name");
    EXPECT_EQ(s[3].value, u"Velto");
}

TEST(ResourceVersionDecoder, ReadsTranslationPairs)
{
    cesim::VersionInfo v = cesim::DecodeVersion(VersionRecord());
    ASSERT_EQ(v.translations.size(), 2u);
    EXPECT_EQ(v.translations[0].language, 0x0409);
    EXPECT_EQ(v.translations[0].code_page, 1200);
    EXPECT_EQ(v.translations[1].language, 0x0407);
    EXPECT_EQ(v.translations[1].code_page, 1252);
}

TEST(ResourceVersionDecoder, FixedPartIsOptional)
{
    cesim::VersionInfo v = cesim::DecodeVersion(VersionRecord({}));
    EXPECT_FALSE(v.has_fixed);
    EXPECT_EQ(v.string_tables.size(), 1u);
}

// ---------------------------------------------------------------- broken data

enum Decoder { GROUP, IMAGE, BITMAP, DIALOG, VERSION };

void Decode(Decoder decoder, const Data& data, const std::string& origin)
{
    switch (decoder) {
    case GROUP:
        cesim::DecodeIconGroup(data, origin);
        break;
    case IMAGE:
        cesim::DecodeIconImage(data, origin);
        break;
    case BITMAP:
        cesim::DecodeBitmap(data, origin);
        break;
    case DIALOG:
        cesim::DecodeDialog(data, origin);
        break;
    case VERSION:
        cesim::DecodeVersion(data, origin);
        break;
    }
}

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
TEST(ResourceDecoders, RejectBrokenDataSayingWhatIsWrong)
{
    Builder textWithoutNul;
    textWithoutNul.Dword(0).Dword(0).Word(0).Word(0).Word(0).Word(10).Word(10);
    textWithoutNul.Word(0).Word(0).Word('T').Word('i');
    Builder extendedVersion2;
    extendedVersion2.Word(2).Word(0xFFFF).Dword(0).Dword(0).Dword(0);
    for (int i = 0; i < 8; ++i)
        extendedVersion2.Word(0);
    Builder threeControls;
    threeControls.Raw(ClassicDialog());
    threeControls.PutWord(8, 3);
    Data shortFixed = Cut(FixedInfo(), 20);
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
        {DIALOG, extendedVersion2.bytes, {"dialog template", "version 2"}},
        {DIALOG, threeControls.bytes, {"dialog 103", "declares 3 controls", "control 3 of 3"}},
        {DIALOG, textWithoutNul.bytes, {"dialog template", "title has no terminating NUL", "offset 22"}},
        {VERSION, VersionRecord(FixedInfo(0x12345678)), {"version record", "signature 0x12345678", "offset 40"}},
        {VERSION, VersionRecord(shortFixed), {"version record", "fewer than the 52"}},
        {VERSION, Block(u"VS_VERSION_INFX", 0, {}, 0), {"version record", "VS_VERSION_INFX"}},
        // The StringFileInfo block starts right after the 52-byte fixed part, at 92.
        {VERSION, Changed(Changed(VersionRecord(), 92, 0xF0), 93, 0x0F), {"version record", "4080 bytes long", "offset 92"}},
        {VERSION, Changed(Changed(VersionRecord(), 92, 4), 93, 0), {"version record", "less than its own 6-byte header"}},
    };
    for (const Broken& row : rows) {
        std::string message = ErrorOf([&] { Decode(row.decoder, row.data, row.says[0]); });
        for (const std::string& part : row.says)
            EXPECT_TRUE(Contains(message, part)) << message;
    }
}

// Every prefix of well-formed data that stops short of what the decoder
// needs is rejected.
TEST(ResourceDecoders, RejectEveryTruncation)
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
    for (const auto& row : rows)
        ExpectEveryPrefixRejected(row.data, row.needed, [&](const Data& p) { Decode(row.decoder, p, "data"); });
}

}  // namespace
