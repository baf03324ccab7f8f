#include "view/timetable.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include "base/calendar.h"
#include "base/capture_interface.h"
#include "base/sjis.h"
#include "view/fonts.h"

const char* const status_messages[kStatusMessageCount] = {
    "予約名：%sの実行時間です",
    "%sを起動します",
    "録画待ちです",
    "録画コマンドを送信します",
    "多分録画してます",
    "停止コマンドを送ります",
    "%sを終了します",
};

namespace {

// Half-widths and half-heights of the bands, as fractions of an hour and of a row.
const double kOuterHalfWidth = 0.4854368932038835;   // 1/2.06
const double kInnerHalfWidth = 0.47619047619047616;  // 1/2.1
const double kOuterHalfHeight = 0.45454545454545453; // 1/2.2
const double kInnerHalfHeight = 0.4347826086956522;  // 1/2.3
const double kPerMinute = 0.016666666666666666;

const int kDaysShown = 7;

// Truncation toward zero, as every coordinate of the timetable is made.
int trunc_px(double v) { return (int)v; }

// x of h:m on the time axis.
int axis_x(const Rect& r, const TimetableScale& s, int h, int m) {
    return trunc_px(r.left + h * s.w + m * kPerMinute * s.w + 0.5 * s.w);
}

// The seven shown days, worked out once per picture: today's date and the six after it,
// each with its weekday.
struct ShownWeek {
    bool valid[kDaysShown];
    CivilDate day[kDaysShown];
    int weekday[kDaysShown];  // Sunday 0 .. Saturday 6
    int today_weekday;
};

bool shown_week(std::time_t now, ShownWeek* week) {
    CivilDate today;
    if (!local_date_of(now, &today, nullptr, &week->today_weekday)) return false;
    for (int d = 0; d < kDaysShown; ++d)
        week->valid[d] = add_days(today, d, &week->day[d], &week->weekday[d]);
    return true;
}

bool same_day(const CivilDate& a, const CivilDate& b) { return date_number(a) == date_number(b); }

int clamp(int v, int lo, int hi) { return v < lo ? lo : (v > hi ? hi : v); }

void draw_frame(Canvas& c, const Rect& r) {
    c.fill_rect(r.left - 63, r.top - 3, r.right + 3, r.bottom + 3, kFrameColour);
    c.fill_rect(r.left - 60, r.top, r.right, r.bottom, kPanelColour);
}

void draw_clock(Canvas& c, std::time_t now) {
    const std::tm* t = std::localtime(&now);
    if (!t) return;
    char text[64];
    if (std::strftime(text, sizeof(text), "%Y/%m/%d %a %H:%M:%S", t) == 0) return;
    c.draw_text(200, 235, kCaptionColour, text, kPanelTextFont, 2, kPanelColour);
}

void draw_grid(Canvas& c, const Rect& r, std::time_t now) {
    const int caption_font = base_font_index() + 1;
    const int cw = font_metric(caption_font, 0);
    const TimetableScale s = timetable_scale(r);
    const double ow = s.w * kOuterHalfWidth, iw = s.w * kInnerHalfWidth;
    const double oh = s.h * kOuterHalfHeight, ih = s.h * kInnerHalfHeight;

    draw_frame(c, r);

    ShownWeek week;
    const bool have_week = shown_week(now, &week);
    for (int i = 1; i <= kDaysShown; ++i) {
        const double yc = r.top + i * s.h;
        c.fill_rect(trunc_px(r.left + s.w - ow), trunc_px(yc - oh), trunc_px(r.left + 24 * s.w + ow),
                    trunc_px(yc + oh), kOuterBandColour);
        c.fill_rect(trunc_px(r.left + s.w - iw), trunc_px(yc - ih), trunc_px(r.left + 24 * s.w + iw),
                    trunc_px(yc + ih), kInnerBandColour);
        char caption[32];
        std::tm caption_day{};
        if (have_week && week.valid[i - 1]) {
            caption_day.tm_year = week.day[i - 1].year - 1900;
            caption_day.tm_mon = week.day[i - 1].month - 1;
            caption_day.tm_mday = week.day[i - 1].day;
            caption_day.tm_wday = week.weekday[i - 1];
        }
        if (have_week && week.valid[i - 1] &&
            std::strftime(caption, sizeof(caption), "%m/%d %a", &caption_day))
            c.draw_text(15, trunc_px(yc - 0.25 * s.h), kCaptionColour, caption, caption_font, 1,
                        kInnerBandColour);
    }

    for (int h = 0; h < 24; h += 6) {
        const double xl = r.left + (h + 1) * s.w - ow;
        const int line_top = trunc_px(r.top + s.h - oh);
        c.fill_rect(trunc_px(xl - 1), line_top, trunc_px(xl), r.bottom, kHourLineColour);
        char label[8];
        std::snprintf(label, sizeof(label), "%d", h);
        const int n = (int)std::strlen(label);
        c.draw_text(trunc_px(r.left + (h + 1) * s.w - 10 - n * cw * 0.25), line_top - 14, kCaptionColour,
                    label, caption_font, 1, kInnerBandColour);
    }

    draw_clock(c, now);
}

// One piece of a bar on row (1..7) from x0 to x1, and its label at its left edge. Every
// piece is kept inside the panel and is at least one pixel wide.
void draw_piece(Canvas& c, const Rect& r, const TimetableScale& s, int row, int x0, int x1,
                Colour colour, const char* label) {
    const double yc = r.top + row * s.h;
    const double oh = s.h * kOuterHalfHeight;
    int left = clamp(x0, r.left, r.right - 1);
    int right = clamp(x1, r.left, r.right);
    if (right <= left) right = left + 1;
    const int top = clamp(trunc_px(yc - oh), r.top, r.bottom);
    const int bottom = clamp(trunc_px(yc + oh), r.top, r.bottom);
    c.fill_rect(left, top, right, bottom, colour);
    c.draw_text(left, clamp(trunc_px(yc), r.top, r.bottom), kBarLabelColour, label, kBarLabelFont, 2,
                kInnerBandColour);
}

void draw_bar(Canvas& c, const Rect& r, int index, int day) {
    if (index < 0 || index >= kMaxReservations || day < 0 || day >= kDaysShown) return;
    const Reservation& res = reservations.table.slots[index];
    // Only a valid time has a place on the axis; the seconds are not drawn.
    CivilTime start, end;
    if (!parse_hhmmss(res.start_time, &start) || !parse_hhmmss(res.end_time, &end)) return;
    const int sh = start.hour, sm = start.minute, eh = end.hour, em = end.minute;
    const TimetableScale s = timetable_scale(r);
    // The label is the reservation's number, 1 to 40.
    char label[3];
    const int number = index + 1;
    if (number < 10) {
        label[0] = (char)('0' + number);
        label[1] = '\0';
    } else {
        label[0] = (char)('0' + number / 10);
        label[1] = (char)('0' + number % 10);
        label[2] = '\0';
    }
    const int row = day + 1;
    const int x_start = axis_x(r, s, sh, sm);
    const int x_end = axis_x(r, s, eh, em);

    if (eh > sh || (eh == sh && em >= sm)) {
        draw_piece(c, r, s, row, x_start, x_end, res.colour, label);
        return;
    }
    // Past midnight: the rest of this row, then the start of the next one. A recording that
    // ends at midnight exactly has nothing on the next day.
    draw_piece(c, r, s, row, x_start, trunc_px(r.left + 24 * s.w + s.w * kOuterHalfWidth), res.colour,
               label);
    if (row < kDaysShown && (eh > 0 || em > 0))
        draw_piece(c, r, s, row + 1, trunc_px(r.left + s.w - s.w * kInnerHalfWidth), x_end, res.colour,
                   label);
}

void draw_bars(Canvas& c, const Rect& r, std::time_t now) {
    ShownWeek week;
    if (!shown_week(now, &week)) return;

    for (int k = 0; k < kMaxReservations; ++k) {
        const Reservation& res = reservations.table.slots[k];
        if (res.name[0] == '\0') break;

        // Only valid dates are drawn: a damaged one matches no day and bounds no period.
        CivilDate first, last;
        if (!parse_yymmdd(res.start_date, &first)) continue;
        if (res.repeat_mode == 0) {
            for (int day = 0; day < kDaysShown; ++day)
                if (week.valid[day] && same_day(week.day[day], first)) draw_bar(c, r, k, day);
            continue;
        }
        if (!parse_yymmdd(res.end_date, &last)) continue;
        // Monday (64) to Sunday (1); the eighth bit is no weekday and is not read.
        for (int j = 0; j < 7; ++j) {
            if (!(res.weekday_mask & (64 >> j))) continue;
            int day = j - week.today_weekday + 1;
            if (day < 0) day += 7;
            if (day > 6) day = 0;
            if (!week.valid[day]) continue;
            const long shown = date_number(week.day[day]);
            if (date_number(first) <= shown && shown <= date_number(last)) draw_bar(c, r, k, day);
        }
    }
}

}  // namespace

TimetableScale timetable_scale(const Rect& rect) {
    TimetableScale s;
    s.w = (rect.right - rect.left) * 0.04;
    s.h = (rect.bottom - rect.top) * 0.125;
    return s;
}

void fill_template(char* out, std::size_t outsize, const char* tmpl, const char* value) {
    if (outsize == 0) return;
    std::size_t n = 0;
    bool filled = false;
    for (std::size_t i = 0; tmpl[i] != '\0';) {
        const char* piece = tmpl + i;
        std::size_t len = 1;
        if (!filled && tmpl[i] == '%' && tmpl[i + 1] == 's') {
            piece = value;
            len = std::strlen(value);
            filled = true;
            i += 2;
        } else {
            if (sjis_lead_byte((unsigned char)tmpl[i]) && tmpl[i + 1] != '\0') len = 2;
            i += len;
        }
        // Never cut a double-byte character in half.
        std::size_t fit = sjis_cut_length(piece, outsize - 1 - n);
        if (fit > len) fit = len;
        std::memcpy(out + n, piece, fit);
        n += fit;
        if (fit < len) break;
    }
    out[n] = '\0';
}

void paint_main_panel(WindowRef dialog, std::time_t now, bool recording, int status_step,
                      int recording_index) {
    if (recording) {
        paint_status_panel(dialog, status_step, recording_index);
        return;
    }
    paint_timetable_grid(dialog, kTimetableRect, now);
    paint_reservation_bars(dialog, kTimetableRect, now);
    paint_swatch(dialog, kSwatchRect, reservations.current_colour);
}

void paint_timetable_grid(WindowRef dialog, const Rect& rect, std::time_t now) {
    Canvas* c = platform.surfaces->open(dialog);
    if (!c) return;
    draw_grid(*c, rect, now);
    platform.surfaces->close(c);
}

void paint_reservation_bars(WindowRef dialog, const Rect& rect, std::time_t now) {
    Canvas* c = platform.surfaces->open(dialog);
    if (!c) return;
    draw_bars(*c, rect, now);
    platform.surfaces->close(c);
}

void paint_reservation_bar(WindowRef dialog, const Rect& rect, int index, int day) {
    Canvas* c = platform.surfaces->open(dialog);
    if (!c) return;
    draw_bar(*c, rect, index, day);
    platform.surfaces->close(c);
}

void paint_clock(WindowRef dialog, std::time_t now) {
    Canvas* c = platform.surfaces->open(dialog);
    if (!c) return;
    draw_clock(*c, now);
    platform.surfaces->close(c);
}

int paint_status_panel(WindowRef dialog, int n, int index) {
    // The name as stored, read within its 21 bytes; a damaged record without its NUL
    // shows what fits without half a double-byte character.
    char name[sizeof(Reservation::name) + 1] = "";
    int mpeg1 = 0;
    if (index >= 0 && index < kMaxReservations) {
        const Reservation& res = reservations.table.slots[index];
        FIELD_COPY(name, res, name);
        // A lead byte without its second half (a damaged record) would pair with the first
        // byte of the template's own text and garble the rest of the line: left out.
        name[sjis_whole_length(name, sizeof(Reservation::name))] = '\0';
        mpeg1 = res.mpeg1;
    }
    const char* exe = capture_exe_name(mpeg1);

    Canvas* c = platform.surfaces->open(dialog);
    if (!c) return n;
    draw_frame(*c, kTimetableRect);
    // Lines 0 .. last: at least three, at most seven.
    const int last = n <= 3 ? 2 : (n >= 7 ? 6 : n - 1);
    for (int i = 0; i <= last; ++i) {
        char line[96];
        fill_template(line, sizeof(line), status_messages[i], i == 0 ? name : exe);
        c->draw_text(20, (i + 2) * kStatusLineHeight, kCaptionColour, line, kPanelTextFont, 2, kPanelColour);
    }
    platform.surfaces->close(c);
    return n;
}

void paint_swatch(WindowRef window, const Rect& rect, Colour colour) {
    Canvas* c = platform.surfaces->open(window);
    if (!c) return;
    c->fill_rect(rect.left, rect.top, rect.right, rect.bottom, colour);
    platform.surfaces->close(c);
}
