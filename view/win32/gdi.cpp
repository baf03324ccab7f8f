#include "view/win32/gdi.h"

#include <cstring>
#include "base/win32/text.h"
#include "view/fonts.h"

static HFONT font_set[kFontRows];

void create_fonts() {
    for (int r = 0; r < kFontRows; ++r) {
        const FontRow& f = font_table[r];
        font_set[r] = CreateFontW(f.height, 0, 0, 0, f.weight, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET,
                                  OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, PROOF_QUALITY,
                                  FF_MODERN | FIXED_PITCH, Wide(f.face));
    }
}

void delete_fonts() {
    for (int r = 0; r < kFontRows; ++r) {
        if (font_set[r]) DeleteObject(font_set[r]);
        font_set[r] = nullptr;
    }
}

void GdiCanvas::fill_rect(int left, int top, int right, int bottom, Colour colour) {
    if (!dc) return;
    HPEN pen = CreatePen(PS_SOLID, 1, colour);
    HBRUSH brush = CreateSolidBrush(colour);
    HGDIOBJ old_pen = SelectObject(dc, pen);
    HGDIOBJ old_brush = SelectObject(dc, brush);
    Rectangle(dc, left, top, right, bottom);
    SelectObject(dc, old_pen);
    SelectObject(dc, old_brush);
    DeleteObject(pen);
    DeleteObject(brush);
}

void GdiCanvas::draw_text(int x, int y, Colour text_colour, const char* text, int font_row,
                          int bk_mode, Colour bk_colour) {
    if (!dc) return;
    HFONT font = (font_row >= 0 && font_row < kFontRows) ? font_set[font_row] : nullptr;
    HGDIOBJ old_font = font ? SelectObject(dc, font) : nullptr;
    SetBkColor(dc, bk_colour);
    SetBkMode(dc, bk_mode);
    SetTextColor(dc, text_colour);
    Wide wide(text);
    TextOutW(dc, x, y, wide, lstrlenW(wide));
    if (font) SelectObject(dc, old_font);
}

Canvas* GdiSurfaces::open(WindowRef window) {
    window_ = (HWND)window;
    canvas_.dc = GetDC(window_);
    return &canvas_;
}

void GdiSurfaces::close(Canvas* canvas) {
    GdiCanvas* c = static_cast<GdiCanvas*>(canvas);
    if (c->dc) ReleaseDC(window_, c->dc);
    c->dc = nullptr;
    window_ = nullptr;
}
