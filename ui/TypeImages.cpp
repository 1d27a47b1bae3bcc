#include "TypeImages.h"

#include "ResourceIds.h"

HIMAGELIST TypeImageList = nullptr;

namespace {
// The strip's background, transparent when drawn.
const COLORREF TypeImageMask = RGB(0x00, 0x80, 0x80);
const int TypeImageSize = 16;
}  // namespace

HIMAGELIST LoadTypeImages(HINSTANCE instance)
{
    if (!TypeImageList)
        TypeImageList = ImageList_LoadImageW(instance, MAKEINTRESOURCEW(IDB_TYPEIMAGES), TypeImageSize, TypeImageSize,
                                             TypeImageMask, IMAGE_BITMAP, 0);
    return TypeImageList;
}
