#include "ImageStrips.h"

#include "ResourceIds.h"

HIMAGELIST TypeImageList = nullptr;
HIMAGELIST HeaderMarkImageList = nullptr;

namespace {

// The strips' backgrounds, transparent when drawn.
const COLORREF TypeImageMask = RGB(0x00, 0x80, 0x80);
const COLORREF HeaderMarkMask = RGB(0x00, 0xFF, 0x00);
const int TypeImageSize = 16;
const int HeaderMarkWidth = 12;

HIMAGELIST LoadStripOnce(HIMAGELIST* strip, HINSTANCE instance, int bitmapId, int width, COLORREF mask)
{
    if (!*strip)
        *strip = ImageList_LoadImageW(instance, MAKEINTRESOURCEW(bitmapId), width, 1, mask, IMAGE_BITMAP, 0);
    return *strip;
}

}  // namespace

HIMAGELIST LoadTypeImages(HINSTANCE instance)
{
    return LoadStripOnce(&TypeImageList, instance, IDB_TYPEIMAGES, TypeImageSize, TypeImageMask);
}

HIMAGELIST LoadHeaderMarks(HINSTANCE instance)
{
    return LoadStripOnce(&HeaderMarkImageList, instance, IDB_SORTMARKS, HeaderMarkWidth, HeaderMarkMask);
}
