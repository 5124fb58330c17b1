// The single view's painting with a display-size copy: a whole image shown smaller than it is
// is stretched once per zoom, stretch mode and bitmap, and every later paint is a 1:1 copy.
#pragma once

#include <windows.h>

#include <cstdint>

#include "view/core/view_geometry.h"

class DisplayCopy {
public:
    DisplayCopy() = default;
    ~DisplayCopy();
    DisplayCopy(const DisplayCopy&) = delete;
    DisplayCopy& operator=(const DisplayCopy&) = delete;

    // Paints the client: the margins in `background`, the image from the copy when the view
    // shows the whole image reduced, else stretched from `image_dc` as it stands.
    void paint(HDC dc, const RECT& client, const ViewGeometry& view, HDC image_dc, HBRUSH background,
               bool quality);
    // The image's pixels or the bitmap in `image_dc` changed.
    void invalidate();

private:
    HDC copy_dc_ = nullptr;
    HBITMAP copy_ = nullptr;
    HGDIOBJ copy_old_ = nullptr;
    HGDIOBJ source_ = nullptr;
    int32_t width_ = 0;
    int32_t height_ = 0;
    bool quality_ = false;
};
