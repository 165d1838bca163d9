// Decoders of the data of individual resources: icon groups and icon images,
// bitmaps, dialog templates and version records.
//
// Each decoder takes the bytes of one resource entry (ResourceEntry::data) and
// returns a plain description of it. Nothing is trusted: a field that points
// or runs past the end, a wrong signature or an unsupported layout makes the
// decoder throw cesim::Error saying what is wrong and at which offset, and no
// byte outside the given data is ever read.
//
// The optional origin argument names the data in those messages, for example
// "velto.res dialog 103"; the default names only the kind of resource.
#pragma once

#include <cesim/device.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace cesim {

// ---------------------------------------------------------------- icons and bitmaps

struct Colour {
    BYTE red = 0;
    BYTE green = 0;
    BYTE blue = 0;
};

inline bool operator==(const Colour& a, const Colour& b)
{
    return a.red == b.red && a.green == b.green && a.blue == b.blue;
}
inline bool operator!=(const Colour& a, const Colour& b) { return !(a == b); }

// One entry of an icon group directory (RT_GROUP_ICON).
struct IconGroupEntry {
    int width = 0;        // in pixels; a stored 0 means 256
    int height = 0;       // in pixels; a stored 0 means 256
    int colour_count = 0; // as stored: 0 for 256 colours or more
    WORD planes = 0;
    WORD bit_count = 0;
    DWORD bytes = 0;      // size of the RT_ICON entry
    WORD image_id = 0;    // name of the RT_ICON entry
};

struct IconGroup {
    WORD type = 0;  // 1 for icons, 2 for cursors
    std::vector<IconGroupEntry> entries;
};

IconGroup DecodeIconGroup(const std::vector<uint8_t>& data, const std::string& origin = "icon group");

// The pixels of a device-independent bitmap. Coordinates are from the top-left
// corner whatever the row order in the data; a coordinate outside the picture
// throws Error.
class DibPixels {
public:
    int width = 0;
    int height = 0;             // rows of the picture (for an icon: half the DIB height)
    int bit_count = 0;          // 1, 4, 8, 16, 24 or 32
    int colour_table_size = 0;  // entries of the colour table
    std::vector<Colour> palette;

    // The colour index at (x, y) for 1 to 8 bits per pixel; the raw pixel
    // value (blue in the low byte for 24 and 32 bits) otherwise.
    DWORD Pixel(int x, int y) const;
    // The colour at (x, y): through the colour table up to 8 bits per pixel.
    // An index past the end of the table throws Error.
    Colour ColourAt(int x, int y) const;

protected:
    friend struct DibDecoder;
    std::string origin_;
    std::vector<uint8_t> bits_;  // the pixel rows, as stored
    size_t stride_ = 0;          // bytes of one stored row
    bool top_down_ = false;      // rows stored from the top
    DWORD masks_[3] = {0, 0, 0}; // red, green, blue masks of 16 and 32 bits per pixel

    size_t RowOffset(int x, int y) const;
};

// An RT_ICON entry: a DIB with twice the icon's height, the colour rows
// followed by a one-bit AND mask.
class IconImage : public DibPixels {
public:
    bool has_mask = false;  // an AND mask of the right size follows the colour rows

    // The AND-mask bit at (x, y): true where the icon is see-through. Throws
    // Error when the image has no mask.
    bool Masked(int x, int y) const;

private:
    friend struct DibDecoder;
    std::vector<uint8_t> mask_;
    size_t mask_stride_ = 0;
};

IconImage DecodeIconImage(const std::vector<uint8_t>& data, const std::string& origin = "icon image");

// An RT_BITMAP entry: a DIB without the file header.
class Bitmap : public DibPixels {
public:
    bool top_down = false;  // rows stored from the top (negative height)
    DWORD compression = 0;  // BI_RGB (0) or BI_BITFIELDS (3)
    DWORD colours_used = 0; // as stored; 0 means the full table for the depth
};

Bitmap DecodeBitmap(const std::vector<uint8_t>& data, const std::string& origin = "bitmap");

// ---------------------------------------------------------------- dialog templates

// A name in a dialog template: nothing (a single 0 word), a number (0xFFFF
// followed by the number), or text.
struct NameOrOrdinal {
    enum Kind { NONE, ORDINAL, TEXT } kind = NONE;
    WORD ordinal = 0;
    std::u16string text;
};

struct DialogItem {
    DWORD help_id = 0;  // extended templates only
    DWORD style = 0;
    DWORD ex_style = 0;
    SHORT x = 0;
    SHORT y = 0;
    SHORT cx = 0;
    SHORT cy = 0;
    DWORD id = 0;  // a WORD in classic templates
    NameOrOrdinal class_name;  // predefined classes by ordinal: 0x0080 button ... 0x0085 combo box
    NameOrOrdinal text;
    std::vector<uint8_t> creation_data;  // the bytes after the size word
};

struct DialogTemplate {
    bool extended = false;  // DLGTEMPLATEEX rather than DLGTEMPLATE
    WORD version = 0;       // extended only: dlgVer
    DWORD help_id = 0;      // extended only
    DWORD style = 0;
    DWORD ex_style = 0;
    WORD item_count = 0;
    SHORT x = 0;
    SHORT y = 0;
    SHORT cx = 0;
    SHORT cy = 0;
    NameOrOrdinal menu;
    NameOrOrdinal class_name;
    std::u16string title;
    bool has_font = false;  // DS_SETFONT (0x40) in style
    WORD point_size = 0;
    WORD weight = 0;        // extended only
    BYTE italic = 0;        // extended only
    BYTE charset = 0;       // extended only
    std::u16string font_face;
    std::vector<DialogItem> items;
    size_t size = 0;  // bytes the template occupies, up to the end of its last item
};

// Both the classic and the extended form are decoded; `extended` tells which.
// The pointer form serves the simulator's dialog calls, which get a template
// by address: size bounds what may be read.
DialogTemplate DecodeDialog(const uint8_t* data, size_t size, const std::string& origin = "dialog template");
DialogTemplate DecodeDialog(const std::vector<uint8_t>& data, const std::string& origin = "dialog template");

// ---------------------------------------------------------------- version records

struct FixedFileInfo {
    DWORD signature = 0;  // always 0xFEEF04BD: the decoder checks it
    DWORD struct_version = 0;
    DWORD file_version_ms = 0;
    DWORD file_version_ls = 0;
    DWORD product_version_ms = 0;
    DWORD product_version_ls = 0;
    DWORD flags_mask = 0;
    DWORD flags = 0;
    DWORD os = 0;
    DWORD type = 0;
    DWORD subtype = 0;
    DWORD date_ms = 0;
    DWORD date_ls = 0;
};

struct VersionString {
    std::u16string key;
    std::u16string value;
};

struct VersionStringTable {
    std::u16string key;  // language and code page in hex, such as "040904b0"
    std::vector<VersionString> strings;  // in the order of the data
};

struct VersionTranslation {
    WORD language = 0;
    WORD code_page = 0;
};

struct VersionInfo {
    bool has_fixed = false;
    FixedFileInfo fixed;
    std::vector<VersionStringTable> string_tables;
    std::vector<VersionTranslation> translations;
};

VersionInfo DecodeVersion(const std::vector<uint8_t>& data, const std::string& origin = "version record");

// "a.b.c.d" from the two halves of a version number.
std::string VersionText(DWORD ms, DWORD ls);

}  // namespace cesim
