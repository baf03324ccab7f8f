// The fixed font table: 23 rows referred to everywhere by row number.
#pragma once

struct FontRow {
    int height;      // pixels, passed to the font creation unchanged
    int char_width;  // nominal width used when placing text
    int weight;      // 400 normal, 700 bold
    const char* face;
};

const int kFontRows = 23;
extern const FontRow font_table[kFontRows];

// The caption font is this row plus one.
int base_font_index();
// The row's height when selector is non-zero, its char_width when it is zero; 0 for a
// row outside the table.
int font_metric(int row, int selector);
