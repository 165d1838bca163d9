// Icons a program owns: those extracted from program files, and their end.
#include "world.h"

#include "gdi.h"

#include <cstdlib>

namespace cesim {

extern "C" {

BOOL WINAPI DestroyIcon(HICON icon)
{
    Call c("DestroyIcon");
    auto& gdi = *c.w.gdi;
    auto it = gdi.icons.find((uintptr_t)icon);
    if (it == gdi.icons.end())
        return FALSE;
    // Icons loaded from resources are shared and outlive DestroyIcon.
    for (auto& s : gdi.shared_icons) {
        if (s.second == icon)
            return TRUE;
    }
    gdi.icons.erase(it);
    return TRUE;
}

// A program file carries at most one icon; its small image is 16 x 16. Each
// icon extracted is a new one that the caller owns until DestroyIcon. As on
// Windows CE, icons are extracted one at a time: any other count fails.
UINT WINAPI ExtractIconExW(LPCWSTR file, int index, HICON* large, HICON* small, UINT count)
{
    Call c("ExtractIconExW");
    const ProgramFile* found = nullptr;
    for (auto& f : c.w.program_files) {
        if (file != nullptr && SameNoCase(f.first, file))
            found = &f.second;
    }
    if (found == nullptr) {
        SetError(c.self, ERROR_FILE_NOT_FOUND);
        return 0;
    }
    UINT icons = found->images.empty() ? 0 : 1;
    if (index == -1)
        return icons;
    if (count != 1) {
        SetError(c.self, ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (index != 0 || icons == 0)
        return 0;
    // Each size takes the image nearest it, as it is: the first of equally near ones.
    auto nearest = [&](LONG size) {
        const SIZE* best = &found->images.front();
        for (const SIZE& image : found->images) {
            if (std::labs(image.cx - size) + std::labs(image.cy - size) <
                std::labs(best->cx - size) + std::labs(best->cy - size))
                best = &image;
        }
        return NewIcon(c.w, IconObject{0, (int)best->cx, (int)best->cy, 4, c.self->process});
    };
    UINT extracted = 0;
    if (large != nullptr) {
        *large = nearest(32);
        extracted = 1;
    }
    if (small != nullptr) {
        *small = nearest(16);
        extracted = 1;
    }
    return extracted;
}

}  // extern "C"

}  // namespace cesim
