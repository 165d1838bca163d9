/*
 * Windows CE's way of loading a program's icon, on Windows: velto.exe and
 * the conformance cases under Wine both load icons through it.
 */
#include "platform/platform.h"

/* Here LoadIconW is Windows' own, for the system's icons. */
#undef LoadIconW

/* Windows CE loads a program's icon at its own size: the image nearest the
   system's icon size, 32 x 32, kept as it is (a glyph made only at 16 x 16
   stays 16 x 16). Desktop Windows stretches it to 32 x 32. The system's own
   icons (no instance) load as they are. */
#define PLATFORM_ICON_SIZE 32
#define PLATFORM_ICON_VERSION 0x00030000
HICON PlatformLoadIconW(HINSTANCE instance, LPCWSTR name)
{
    if (instance == NULL)
        return LoadIconW(instance, name);
    HRSRC groupInfo = FindResourceW(instance, name, (LPCWSTR)RT_GROUP_ICON);
    HGLOBAL group = groupInfo != NULL ? LoadResource(instance, groupInfo) : NULL;
    BYTE* directory = group != NULL ? (BYTE*)LockResource(group) : NULL;
    if (directory == NULL)
        return NULL;
    int imageId = LookupIconIdFromDirectoryEx(directory, TRUE, PLATFORM_ICON_SIZE, PLATFORM_ICON_SIZE,
                                              LR_DEFAULTCOLOR);
    HRSRC imageInfo = imageId != 0 ? FindResourceW(instance, MAKEINTRESOURCEW(imageId), (LPCWSTR)RT_ICON) : NULL;
    HGLOBAL image = imageInfo != NULL ? LoadResource(instance, imageInfo) : NULL;
    BYTE* bits = image != NULL ? (BYTE*)LockResource(image) : NULL;
    if (bits == NULL)
        return NULL;
    /* Width and height 0: the image's own size. */
    return CreateIconFromResourceEx(bits, SizeofResource(instance, imageInfo), TRUE, PLATFORM_ICON_VERSION, 0, 0,
                                    LR_DEFAULTCOLOR);
}
