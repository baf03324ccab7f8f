#include "view/fonts.h"

const FontRow font_table[kFontRows] = {
    {8, 10, 400, "Arial"},  {9, 10, 400, "Arial"},  {10, 10, 400, "Arial"}, {12, 12, 400, "Arial"},
    {14, 14, 400, "Arial"}, {16, 16, 400, "Arial"}, {20, 10, 400, "Arial"}, {24, 12, 400, "Arial"},
    {26, 13, 400, "Arial"}, {28, 14, 400, "Arial"}, {30, 15, 400, "Arial"}, {32, 16, 400, "Arial"},
    {8, 4, 700, "Arial"},   {9, 4, 700, "Arial"},   {10, 5, 700, "Arial"},  {12, 6, 700, "Arial"},
    {14, 7, 700, "Arial"},  {16, 8, 700, "Arial"},  {20, 10, 700, "Arial"}, {24, 12, 700, "Arial"},
    {26, 13, 700, "Arial"}, {28, 14, 700, "Arial"}, {30, 15, 700, "Arial"},
};

int base_font_index() { return 3; }

int font_metric(int row, int selector) {
    if (row < 0 || row >= kFontRows) return 0;
    return selector ? font_table[row].height : font_table[row].char_width;
}
