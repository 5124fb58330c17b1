#include "imagewin/single_view_paint.h"

#include "view/win/view_windows.h"

DisplayCopy::~DisplayCopy() {
    invalidate();
}

void DisplayCopy::invalidate() {
    if (copy_dc_) {
        SelectObject(copy_dc_, copy_old_);
        DeleteDC(copy_dc_);
    }
    if (copy_) DeleteObject(copy_);
    copy_dc_ = nullptr;
    copy_ = nullptr;
    copy_old_ = nullptr;
    source_ = nullptr;
    width_ = height_ = 0;
}

void DisplayCopy::paint(HDC dc, const RECT& client, const ViewGeometry& view, HDC image_dc, HBRUSH background,
                        bool quality) {
    const bool whole_reduced = view.zoom < kZoomActualSize && view.src_x == 0 && view.src_y == 0 &&
                               view.src_width == view.image_width && view.src_height == view.image_height &&
                               view.dest_width > 0 && view.dest_height > 0 && image_dc;
    // While panning the fast mode is wanted and the source window moves: stretch directly.
    if (!whole_reduced || view.drag_mode == kDragPanning) {
        set_view_stretch_mode(dc, view, quality);
        paint_original_pane(dc, client, view, image_dc, background);
        return;
    }
    HGDIOBJ source = GetCurrentObject(image_dc, OBJ_BITMAP);
    if (!copy_ || source != source_ || width_ != view.dest_width || height_ != view.dest_height ||
        quality_ != quality) {
        invalidate();
        copy_dc_ = CreateCompatibleDC(dc);
        copy_ = copy_dc_ ? CreateCompatibleBitmap(dc, view.dest_width, view.dest_height) : nullptr;
        if (!copy_) {
            invalidate();
            set_view_stretch_mode(dc, view, quality);
            paint_original_pane(dc, client, view, image_dc, background);
            return;
        }
        copy_old_ = SelectObject(copy_dc_, copy_);
        set_view_stretch_mode(copy_dc_, view, quality);
        StretchBlt(copy_dc_, 0, 0, view.dest_width, view.dest_height, image_dc, 0, 0, view.src_width,
                   view.src_height, SRCCOPY);
        source_ = source;
        width_ = view.dest_width;
        height_ = view.dest_height;
        quality_ = quality;
    }
    ViewGeometry one_to_one = view;
    one_to_one.zoom = kZoomActualSize;
    one_to_one.src_x = 0;
    one_to_one.src_y = 0;
    one_to_one.src_width = view.dest_width;
    one_to_one.src_height = view.dest_height;
    SetStretchBltMode(dc, COLORONCOLOR);
    paint_original_pane(dc, client, one_to_one, copy_dc_, background);
}
