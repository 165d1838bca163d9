// Drawing objects of the simulated device: device contexts, bitmaps, icons,
// brushes. Drawing is recorded per window rather than rendered.
#pragma once

#include "world.h"

namespace cesim {

struct IconObject {
    int resource_id;
    int width;
    int height;
    int bits_per_pixel;
    Process* owner;
};

struct BitmapObject {
    int resource_id;
    int width;
    int height;
    int bits_per_pixel;
    Process* owner;
};

struct DcObject {
    Window* window = nullptr;  // null: a memory device context
    bool paint = false;        // from BeginPaint
    HGDIOBJ bitmap = nullptr;  // selected into a memory device context
    Process* owner = nullptr;  // null: the system's own (an open menu's)
    std::vector<DrawOp>* record = nullptr;  // where a system device context's drawing goes
    COLORREF text_colour = DC_TEXT_COLOUR;
    COLORREF back_colour = DC_BACK_COLOUR;
    HGDIOBJ font = nullptr;  // null: the system font
};

// Where drawing into a device context is recorded; null for memory ones.
inline std::vector<DrawOp>* DrawTarget(DcObject* d)
{
    if (d->record != nullptr)
        return d->record;
    return d->window != nullptr ? &d->window->drawn : nullptr;
}

struct World::GdiData {
    std::map<uintptr_t, IconObject> icons;
    std::map<uintptr_t, BitmapObject> bitmaps;
    std::map<uintptr_t, DcObject> dcs;
    std::map<uintptr_t, int> brushes;  // stock brush index
    std::map<std::pair<Process*, int>, HICON> shared_icons;
    HGDIOBJ stock_bitmap = nullptr;  // what a new memory device context holds
    HGDIOBJ system_font = nullptr;   // the one font: every device context starts with it
    // Each kind of drawing object has a value range of its own, so that a
    // handle of one kind is never taken for another.
    enum Kind { DC = 1, ICON, BITMAP, STOCK };
    std::map<int, uintptr_t> next;
    void* NewObject(Kind kind)
    {
        uintptr_t& last = next[kind];
        if (last == 0)
            last = 0x40000000u + ((uintptr_t)kind << 24);
        last += 4;
        return (void*)last;
    }
};

void InitGdi(World& w);
DcObject* FindDc(World& w, HDC dc);
HDC NewSystemDc(World& w, std::vector<DrawOp>* record);  // for an open menu
HICON NewIcon(World& w, IconObject icon);

}  // namespace cesim
