// The drawing primitives on GDI: the font set and the canvas on a window's device context.
#pragma once
#include <windows.h>
#include "base/platform.h"

// Creates the 23 fonts of the font table (at the main dialog's initialisation).
void create_fonts();
// Deletes them (when the main dialog closes); nothing is drawn afterwards.
void delete_fonts();

class GdiCanvas : public Canvas {
public:
    HDC dc = nullptr;
    void fill_rect(int left, int top, int right, int bottom, Colour colour) override;
    void draw_text(int x, int y, Colour text_colour, const char* text, int font_row, int bk_mode,
                   Colour bk_colour) override;
};

// Canvases on windows' client areas: GetDC on open, ReleaseDC on close.
class GdiSurfaces : public Surfaces {
public:
    Canvas* open(WindowRef window) override;
    void close(Canvas* canvas) override;
private:
    GdiCanvas canvas_;
    HWND window_ = nullptr;
};
