// Decoders of icon groups and images, bitmaps, dialog templates and version
// records. Every read goes through Bytes, which checks it against the end of
// the data and reports what was being read and where.
#include <cesim/resource_formats.h>

#include <algorithm>
#include <cstdio>

namespace cesim {

namespace {

size_t Align4(size_t at) { return (at + 3) & ~(size_t)3; }

std::string Narrow(const std::u16string& text)
{
    std::string out;
    for (char16_t c : text)
        out += (c >= 0x20 && c < 0x7F) ? (char)c : '?';
    return out;
}

// Bounded little-endian reads from the data of one resource.
class Bytes {
public:
    Bytes(const uint8_t* data, size_t size, const std::string& origin) : data_(data), size_(size), origin_(origin)
    {
        if (data_ == nullptr && size_ != 0)
            throw Error("cesim: " + origin_ + ": no data at all (a null pointer)");
    }

    size_t Size() const { return size_; }
    const std::string& Origin() const { return origin_; }
    const uint8_t* Data() const { return data_; }

    [[noreturn]] void Fail(const std::string& problem, size_t at) const
    {
        throw Error("cesim: " + origin_ + ": " + problem + " (at offset " + std::to_string(at) + ")");
    }

    bool Has(size_t at, uint64_t n) const { return at <= size_ && n <= size_ - at; }

    void Need(size_t at, uint64_t n, const std::string& what) const
    {
        if (!Has(at, n))
            Fail(what + " would run past the end of the data, which is " + std::to_string(size_) + " bytes long", at);
    }

    BYTE Byte(size_t at, const std::string& what) const
    {
        Need(at, 1, what);
        return data_[at];
    }

    WORD Word(size_t at, const std::string& what) const
    {
        Need(at, 2, what);
        return (WORD)(data_[at] | data_[at + 1] << 8);
    }

    DWORD Dword(size_t at, const std::string& what) const
    {
        Need(at, 4, what);
        return (DWORD)data_[at] | (DWORD)data_[at + 1] << 8 | (DWORD)data_[at + 2] << 16 | (DWORD)data_[at + 3] << 24;
    }

    // NUL-terminated UTF-16 text that must end before `end`; `at` moves past
    // the NUL.
    std::u16string Text(size_t& at, size_t end, const std::string& what) const
    {
        end = std::min(end, size_);
        size_t start = at;
        std::u16string text;
        for (;;) {
            if (at + 2 > end)
                Fail(what + " has no terminating NUL before the end of " +
                         (end == size_ ? std::string("the data") : std::string("its block")),
                     start);
            char16_t c = (char16_t)(data_[at] | data_[at + 1] << 8);
            at += 2;
            if (c == 0)
                return text;
            text += c;
        }
    }

private:
    const uint8_t* data_;
    size_t size_;
    const std::string& origin_;
};

}  // namespace

// ---------------------------------------------------------------- icon groups

IconGroup DecodeIconGroup(const std::vector<uint8_t>& data, const std::string& origin)
{
    Bytes b(data.data(), data.size(), origin);
    IconGroup group;
    WORD reserved = b.Word(0, "the directory header");
    if (reserved != 0)
        b.Fail("the directory's reserved word is " + std::to_string(reserved) + ", not 0", 0);
    group.type = b.Word(2, "the directory header");
    if (group.type != 1)
        b.Fail("the directory's type is " + std::to_string(group.type) + ", not 1 (icon)", 2);
    WORD count = b.Word(4, "the directory header");
    if (!b.Has(6, 14 * (uint64_t)count))
        b.Fail("the directory lists " + std::to_string(count) + (count == 1 ? " image" : " images") + ", which need " +
                   std::to_string(6 + 14 * count) + " bytes, but it has only " + std::to_string(b.Size()),
               6);
    for (WORD i = 0; i < count; ++i) {
        size_t at = 6 + 14 * (size_t)i;
        IconGroupEntry e;
        e.width = data[at] == 0 ? 256 : data[at];
        e.height = data[at + 1] == 0 ? 256 : data[at + 1];
        e.colour_count = data[at + 2];
        e.planes = b.Word(at + 4, "an entry");
        e.bit_count = b.Word(at + 6, "an entry");
        e.bytes = b.Dword(at + 8, "an entry");
        e.image_id = b.Word(at + 12, "an entry");
        group.entries.push_back(e);
    }
    return group;
}

// ---------------------------------------------------------------- DIBs

namespace {

const DWORD BI_RGB_ = 0;
const DWORD BI_BITFIELDS_ = 3;
const int MAX_SIDE = 32767;

int MaskShift(DWORD mask)
{
    int shift = 0;
    while (mask != 0 && (mask & 1) == 0) {
        mask >>= 1;
        ++shift;
    }
    return shift;
}

BYTE Channel(DWORD value, DWORD mask)
{
    if (mask == 0)
        return 0;
    int shift = MaskShift(mask);
    DWORD top = mask >> shift;
    return (BYTE)(((uint64_t)((value & mask) >> shift) * 255 + top / 2) / top);
}

}  // namespace

struct DibDecoder {
    // Reads the header, colour table and pixel rows into `out`; returns the
    // offset just past the rows. `icon`: the DIB holds colour rows and mask,
    // so its height is twice the picture's.
    static size_t Decode(const Bytes& b, DibPixels& out, bool icon, DWORD* compression_out, DWORD* used_out,
                         bool* top_down_out)
    {
        if (b.Has(0, 8) && b.Data()[0] == 0x89 && b.Data()[1] == 'P' && b.Data()[2] == 'N' && b.Data()[3] == 'G')
            b.Fail("the image is PNG data, not a DIB; PNG images are not supported", 0);
        out.origin_ = b.Origin();
        DWORD header = b.Dword(0, "the DIB header size");
        int64_t width = 0, height = 0;
        WORD planes = 0, bit_count = 0;
        DWORD compression = BI_RGB_, used = 0;
        size_t entry_size = 4;
        if (header == 12) {
            b.Need(0, header, "the 12-byte BITMAPCOREHEADER");
            width = b.Word(4, "the width");
            height = (SHORT)b.Word(6, "the height");
            planes = b.Word(8, "the planes");
            bit_count = b.Word(10, "the bit count");
            entry_size = 3;
        } else if (header >= 40) {
            b.Need(0, header, "the " + std::to_string(header) + "-byte DIB header");
            width = (LONG)b.Dword(4, "the width");
            height = (LONG)b.Dword(8, "the height");
            planes = b.Word(12, "the planes");
            bit_count = b.Word(14, "the bit count");
            compression = b.Dword(16, "the compression");
            used = b.Dword(32, "the colours used");
        } else {
            b.Fail("the DIB header size is " + std::to_string(header) + ", neither 12 nor 40 or more", 0);
        }
        if (planes != 1)
            b.Fail("the DIB has " + std::to_string(planes) + " colour planes, not 1", header == 12 ? 8 : 12);
        if (bit_count != 1 && bit_count != 4 && bit_count != 8 && bit_count != 16 && bit_count != 24 && bit_count != 32)
            b.Fail("the DIB has " + std::to_string(bit_count) + " bits per pixel, not 1, 4, 8, 16, 24 or 32",
                   header == 12 ? 10 : 14);
        if (width < 1 || width > MAX_SIDE)
            b.Fail("the DIB width " + std::to_string(width) + " is not between 1 and " + std::to_string(MAX_SIDE), 4);
        bool top_down = height < 0;
        int64_t rows = top_down ? -height : height;
        if (rows < 1 || rows > (icon ? 2 * MAX_SIDE : MAX_SIDE))
            b.Fail("the DIB height " + std::to_string(height) + " is out of range", header == 12 ? 6 : 8);
        if (icon) {
            if (top_down)
                b.Fail("the icon's DIB height " + std::to_string(height) + " is negative", 8);
            if (rows % 2 != 0)
                b.Fail("the icon's DIB height " + std::to_string(height) +
                           " is odd; it should be twice the icon's height",
                       8);
            rows /= 2;
        }
        if (compression != BI_RGB_ && !(compression == BI_BITFIELDS_ && (bit_count == 16 || bit_count == 32)))
            b.Fail("compression " + std::to_string(compression) + " at " + std::to_string(bit_count) +
                       " bits per pixel is not supported (only BI_RGB, and BI_BITFIELDS at 16 and 32)",
                   16);
        size_t at = header;
        if (compression == BI_BITFIELDS_) {
            size_t masks_at = header >= 52 ? 40 : header;
            for (int i = 0; i < 3; ++i)
                out.masks_[i] = b.Dword(masks_at + 4 * i, "the colour masks");
            if (header < 52)
                at += 12;
        } else if (bit_count == 16) {
            out.masks_[0] = 0x7C00;
            out.masks_[1] = 0x03E0;
            out.masks_[2] = 0x001F;
        } else if (bit_count > 16) {
            out.masks_[0] = 0xFF0000;
            out.masks_[1] = 0x00FF00;
            out.masks_[2] = 0x0000FF;
        }
        uint64_t table = used;
        if (bit_count <= 8) {
            uint64_t full = 1u << bit_count;
            if (used > full)
                b.Fail("the DIB uses " + std::to_string(used) + " colours, more than " + std::to_string(full) + " at " +
                           std::to_string(bit_count) + " bits per pixel",
                       32);
            if (used == 0)
                table = full;
        }
        b.Need(at, table * entry_size, "the colour table of " + std::to_string(table) + " entries");
        for (uint64_t i = 0; i < table; ++i) {
            const uint8_t* p = b.Data() + at + i * entry_size;
            Colour c;
            c.blue = p[0];
            c.green = p[1];
            c.red = p[2];
            out.palette.push_back(c);
        }
        at += table * entry_size;

        out.width = (int)width;
        out.height = (int)rows;
        out.bit_count = bit_count;
        out.colour_table_size = (int)table;
        out.top_down_ = top_down;
        out.stride_ = ((size_t)width * bit_count + 31) / 32 * 4;
        uint64_t bytes = (uint64_t)out.stride_ * (uint64_t)rows;
        b.Need(at, bytes,
               "the pixel rows (" + std::to_string(rows) + " of " + std::to_string(out.stride_) + " bytes)");
        out.bits_.assign(b.Data() + at, b.Data() + at + bytes);
        at += bytes;
        if (compression_out != nullptr)
            *compression_out = compression;
        if (used_out != nullptr)
            *used_out = used;
        if (top_down_out != nullptr)
            *top_down_out = top_down;
        return at;
    }

    static void DecodeMask(const Bytes& b, size_t at, IconImage& icon)
    {
        icon.mask_stride_ = ((size_t)icon.width + 31) / 32 * 4;
        uint64_t bytes = (uint64_t)icon.mask_stride_ * (uint64_t)icon.height;
        icon.has_mask = b.Has(at, bytes);
        if (icon.has_mask)
            icon.mask_.assign(b.Data() + at, b.Data() + at + bytes);
    }
};

size_t DibPixels::RowOffset(int x, int y) const
{
    if (x < 0 || y < 0 || x >= width || y >= height)
        throw Error("cesim: " + origin_ + ": pixel (" + std::to_string(x) + ", " + std::to_string(y) +
                    ") is outside the " + std::to_string(width) + " x " + std::to_string(height) + " picture");
    size_t row = top_down_ ? (size_t)y : (size_t)(height - 1 - y);
    return row * stride_;
}

DWORD DibPixels::Pixel(int x, int y) const
{
    const uint8_t* row = bits_.data() + RowOffset(x, y);
    switch (bit_count) {
    case 1:
        return (row[x / 8] >> (7 - x % 8)) & 1;
    case 4:
        return x % 2 == 0 ? row[x / 2] >> 4 : row[x / 2] & 15;
    case 8:
        return row[x];
    case 16:
        return (DWORD)(row[2 * x] | row[2 * x + 1] << 8);
    case 24:
        return (DWORD)row[3 * x] | (DWORD)row[3 * x + 1] << 8 | (DWORD)row[3 * x + 2] << 16;
    default:
        return (DWORD)row[4 * x] | (DWORD)row[4 * x + 1] << 8 | (DWORD)row[4 * x + 2] << 16 |
               (DWORD)row[4 * x + 3] << 24;
    }
}

Colour DibPixels::ColourAt(int x, int y) const
{
    DWORD value = Pixel(x, y);
    if (bit_count <= 8) {
        if (value >= palette.size())
            throw Error("cesim: " + origin_ + ": pixel (" + std::to_string(x) + ", " + std::to_string(y) +
                        ") has colour index " + std::to_string(value) + " but the colour table has only " +
                        std::to_string(palette.size()) + " entries");
        return palette[value];
    }
    Colour c;
    c.red = Channel(value, masks_[0]);
    c.green = Channel(value, masks_[1]);
    c.blue = Channel(value, masks_[2]);
    return c;
}

bool IconImage::Masked(int x, int y) const
{
    if (!has_mask)
        throw Error("cesim: " + origin_ + ": the icon image has no AND mask");
    size_t row = RowOffset(x, y) / stride_ * mask_stride_;
    return (mask_[row + x / 8] >> (7 - x % 8)) & 1;
}

IconImage DecodeIconImage(const std::vector<uint8_t>& data, const std::string& origin)
{
    Bytes b(data.data(), data.size(), origin);
    IconImage icon;
    size_t end = DibDecoder::Decode(b, icon, true, nullptr, nullptr, nullptr);
    DibDecoder::DecodeMask(b, end, icon);
    return icon;
}

Bitmap DecodeBitmap(const std::vector<uint8_t>& data, const std::string& origin)
{
    Bytes b(data.data(), data.size(), origin);
    Bitmap bitmap;
    DibDecoder::Decode(b, bitmap, false, &bitmap.compression, &bitmap.colours_used, &bitmap.top_down);
    return bitmap;
}

// ---------------------------------------------------------------- dialog templates

namespace {

const DWORD DS_SETFONT_ = 0x40;

NameOrOrdinal ReadName(const Bytes& b, size_t& at, const std::string& what)
{
    NameOrOrdinal name;
    WORD first = b.Word(at, what);
    if (first == 0) {
        at += 2;
    } else if (first == 0xFFFF) {
        name.kind = NameOrOrdinal::ORDINAL;
        name.ordinal = b.Word(at + 2, what + "'s ordinal");
        at += 4;
    } else {
        name.kind = NameOrOrdinal::TEXT;
        name.text = b.Text(at, b.Size(), what);
    }
    return name;
}

SHORT Short(const Bytes& b, size_t at, const std::string& what) { return (SHORT)b.Word(at, what); }

DialogItem ReadItem(const Bytes& b, size_t& at, bool extended, int number, int count)
{
    const std::string control = "control " + std::to_string(number) + " of " + std::to_string(count);
    if (at >= b.Size())
        b.Fail("the template declares " + std::to_string(count) + " controls but " + control +
                   " would start past the end of the data, which is " + std::to_string(b.Size()) + " bytes long",
               at);
    DialogItem item;
    if (extended) {
        item.help_id = b.Dword(at, control + "'s help id");
        item.ex_style = b.Dword(at + 4, control + "'s extended style");
        item.style = b.Dword(at + 8, control + "'s style");
        at += 12;
    } else {
        item.style = b.Dword(at, control + "'s style");
        item.ex_style = b.Dword(at + 4, control + "'s extended style");
        at += 8;
    }
    item.x = Short(b, at, control + "'s position");
    item.y = Short(b, at + 2, control + "'s position");
    item.cx = Short(b, at + 4, control + "'s size");
    item.cy = Short(b, at + 6, control + "'s size");
    at += 8;
    if (extended) {
        item.id = b.Dword(at, control + "'s id");
        at += 4;
    } else {
        item.id = b.Word(at, control + "'s id");
        at += 2;
    }
    item.class_name = ReadName(b, at, control + "'s class");
    item.text = ReadName(b, at, control + "'s text");
    WORD extra = b.Word(at, control + "'s creation data size");
    at += 2;
    b.Need(at, extra, control + "'s " + std::to_string(extra) + " bytes of creation data");
    item.creation_data.assign(b.Data() + at, b.Data() + at + extra);
    at += extra;
    return item;
}

}  // namespace

DialogTemplate DecodeDialog(const uint8_t* data, size_t size, const std::string& origin)
{
    Bytes b(data, size, origin);
    DialogTemplate d;
    size_t at = 0;
    WORD first = b.Word(0, "the template header");
    WORD second = b.Word(2, "the template header");
    if (second == 0xFFFF) {
        // DLGTEMPLATEEX: dlgVer 1, then the 0xFFFF signature where a classic
        // template keeps the high word of its style.
        if (first != 1)
            b.Fail("the template carries the extended signature 0xFFFF with version " + std::to_string(first) +
                       "; only version 1 exists",
                   0);
        d.extended = true;
        d.version = first;
        d.help_id = b.Dword(4, "the template header");
        d.ex_style = b.Dword(8, "the template header");
        d.style = b.Dword(12, "the template header");
        at = 16;
    } else {
        d.style = b.Dword(0, "the template header");
        d.ex_style = b.Dword(4, "the template header");
        at = 8;
    }
    d.item_count = b.Word(at, "the template header's control count");
    d.x = Short(b, at + 2, "the dialog's position");
    d.y = Short(b, at + 4, "the dialog's position");
    d.cx = Short(b, at + 6, "the dialog's size");
    d.cy = Short(b, at + 8, "the dialog's size");
    at += 10;
    d.menu = ReadName(b, at, "the menu name");
    d.class_name = ReadName(b, at, "the class name");
    d.title = b.Text(at, size, "the title");
    d.has_font = (d.style & DS_SETFONT_) != 0;
    if (d.has_font) {
        d.point_size = b.Word(at, "the font's point size");
        at += 2;
        if (d.extended) {
            d.weight = b.Word(at, "the font's weight");
            d.italic = b.Byte(at + 2, "the font's italic flag");
            d.charset = b.Byte(at + 3, "the font's character set");
            at += 4;
        }
        d.font_face = b.Text(at, size, "the font's face name");
    }
    for (int i = 0; i < d.item_count; ++i) {
        at = Align4(at);
        d.items.push_back(ReadItem(b, at, d.extended, i + 1, d.item_count));
    }
    d.size = at;
    return d;
}

DialogTemplate DecodeDialog(const std::vector<uint8_t>& data, const std::string& origin)
{
    return DecodeDialog(data.data(), data.size(), origin);
}

// ---------------------------------------------------------------- version records

namespace {

const DWORD FIXED_SIGNATURE = 0xFEEF04BD;
const size_t FIXED_SIZE = 52;

// One block of the version record: wLength, wValueLength, wType, the key,
// the value and the child blocks, each part starting on a DWORD boundary.
struct Block {
    size_t at = 0;
    size_t end = 0;
    WORD type = 0;
    std::u16string key;
    size_t value_at = 0;
    size_t value_bytes = 0;
    size_t children_at = 0;
};

Block ReadBlock(const Bytes& b, size_t at, size_t limit, const std::string& where)
{
    Block block;
    block.at = at;
    WORD length = b.Word(at, "a block header in " + where);
    WORD value_length = b.Word(at + 2, "a block header in " + where);
    block.type = b.Word(at + 4, "a block header in " + where);
    if (length < 6)
        b.Fail("a block in " + where + " says it is " + std::to_string(length) +
                   " bytes long, less than its own 6-byte header",
               at);
    if (at + length > limit)
        b.Fail("a block in " + where + " says it is " + std::to_string(length) + " bytes long but only " +
                   std::to_string(limit - at) + " remain",
               at);
    block.end = at + length;
    if (block.type != 0 && block.type != 1)
        b.Fail("a block in " + where + " has type " + std::to_string(block.type) + ", neither 0 (binary) nor 1 (text)",
               at + 4);
    size_t key_at = at + 6;
    block.key = b.Text(key_at, block.end, "the key of a block in " + where);
    block.value_at = std::min(Align4(key_at), block.end);
    // Text values count characters, binary ones bytes.
    block.value_bytes = block.type == 1 ? 2 * (size_t)value_length : value_length;
    if (block.value_at + block.value_bytes > block.end) {
        if (block.type == 0)
            b.Fail("the value of block \"" + Narrow(block.key) + "\" is " + std::to_string(value_length) +
                       " bytes long but the block ends before that",
                   block.value_at);
        block.value_bytes = block.end - block.value_at;
    }
    block.children_at = std::min(Align4(block.value_at + block.value_bytes), block.end);
    return block;
}

// The child blocks of `parent`, in order.
std::vector<Block> Children(const Bytes& b, const Block& parent)
{
    std::vector<Block> children;
    std::string where = "block \"" + Narrow(parent.key) + "\"";
    size_t at = parent.children_at;
    for (;;) {
        at = Align4(at);
        if (at >= parent.end)
            break;
        if (parent.end - at < 6) {
            // Padding at the end of the parent is harmless; anything else is not.
            for (size_t k = at; k < parent.end; ++k) {
                if (b.Data()[k] != 0)
                    b.Fail("stray bytes at the end of " + where, at);
            }
            break;
        }
        children.push_back(ReadBlock(b, at, parent.end, where));
        at = children.back().end;
    }
    return children;
}

std::u16string TextValue(const Bytes& b, const Block& block)
{
    std::u16string text;
    for (size_t k = block.value_at; k + 2 <= block.value_at + block.value_bytes; k += 2) {
        char16_t c = (char16_t)(b.Data()[k] | b.Data()[k + 1] << 8);
        if (c == 0)
            break;
        text += c;
    }
    return text;
}

}  // namespace

VersionInfo DecodeVersion(const std::vector<uint8_t>& data, const std::string& origin)
{
    Bytes b(data.data(), data.size(), origin);
    VersionInfo info;
    Block root = ReadBlock(b, 0, b.Size(), "the version record");
    if (root.key != u"VS_VERSION_INFO")
        b.Fail("the record's key is \"" + Narrow(root.key) + "\", not \"VS_VERSION_INFO\"", 6);
    if (root.value_bytes != 0) {
        if (root.value_bytes < FIXED_SIZE)
            b.Fail("the fixed file information is " + std::to_string(root.value_bytes) + " bytes, fewer than the " +
                       std::to_string(FIXED_SIZE) + " of VS_FIXEDFILEINFO",
                   root.value_at);
        DWORD f[13];
        for (int i = 0; i < 13; ++i)
            f[i] = b.Dword(root.value_at + 4 * i, "the fixed file information");
        if (f[0] != FIXED_SIGNATURE) {
            char hex[16];
            std::snprintf(hex, sizeof hex, "0x%08X", f[0]);
            b.Fail(std::string("the fixed file information has the signature ") + hex + " instead of 0xFEEF04BD",
                   root.value_at);
        }
        info.has_fixed = true;
        FixedFileInfo& x = info.fixed;
        x.signature = f[0];
        x.struct_version = f[1];
        x.file_version_ms = f[2];
        x.file_version_ls = f[3];
        x.product_version_ms = f[4];
        x.product_version_ls = f[5];
        x.flags_mask = f[6];
        x.flags = f[7];
        x.os = f[8];
        x.type = f[9];
        x.subtype = f[10];
        x.date_ms = f[11];
        x.date_ls = f[12];
    }
    for (const Block& child : Children(b, root)) {
        if (child.key == u"StringFileInfo") {
            for (const Block& table : Children(b, child)) {
                VersionStringTable t;
                t.key = table.key;
                for (const Block& s : Children(b, table))
                    t.strings.push_back({s.key, TextValue(b, s)});
                info.string_tables.push_back(std::move(t));
            }
        } else if (child.key == u"VarFileInfo") {
            for (const Block& var : Children(b, child)) {
                if (var.key != u"Translation")
                    continue;
                if (var.value_bytes % 4 != 0)
                    b.Fail("the Translation value is " + std::to_string(var.value_bytes) +
                               " bytes long, not a whole number of language and code page pairs",
                           var.value_at);
                for (size_t k = 0; k < var.value_bytes; k += 4) {
                    VersionTranslation t;
                    t.language = b.Word(var.value_at + k, "a Translation pair");
                    t.code_page = b.Word(var.value_at + k + 2, "a Translation pair");
                    info.translations.push_back(t);
                }
            }
        }
    }
    return info;
}

std::string VersionText(DWORD ms, DWORD ls)
{
    return std::to_string(ms >> 16) + "." + std::to_string(ms & 0xFFFF) + "." + std::to_string(ls >> 16) + "." +
           std::to_string(ls & 0xFFFF);
}

}  // namespace cesim
