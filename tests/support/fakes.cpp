#include "tests/support/fakes.h"

#include <iconv.h>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <stdexcept>
#include "tests/support/core_state.h"

int MemoryFiles::read(const char* path, void* buf, std::size_t cap, std::size_t* got, bool* more) {
    *got = 0;
    *more = false;
    auto it = files.find(path);
    if (fail_open_read || it == files.end()) return -1;
    std::size_t n = it->second.size() < cap ? it->second.size() : cap;
    std::memcpy(buf, it->second.data(), n);
    *got = n;
    *more = it->second.size() > cap;
    return 0;
}

int MemoryFiles::replace(const char* path, const void* data, std::size_t len) {
    ++replace_calls;
    if (fail_replace) return -1;
    files[path] = std::string((const char*)data, len);
    return 0;
}

FakePlatform::FakePlatform() : saved(platform) {
    platform = inert_platform();
    platform.messages = &messages;
    platform.files = &files;
    platform.clock = &clock;
    platform.surfaces = &surfaces;
    platform.journal = &journal;
    reset_core_state();
}

FakePlatform::~FakePlatform() {
    platform = saved;
    reset_core_state();
}

ScopedTimeZone::ScopedTimeZone(const char* tz) {
    const char* old = std::getenv("TZ");
    had = old != nullptr;
    if (had) saved = old;
    setenv("TZ", tz, 1);
    tzset();
    // The calendar's kept midnights belong to the zone before.
    reset_calendar_memo();
}

ScopedTimeZone::~ScopedTimeZone() {
    if (had)
        setenv("TZ", saved.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
    reset_calendar_memo();
}

std::int64_t local_time(int year, int month, int day, int hour, int minute, int second) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    t.tm_isdst = -1;
    return (std::int64_t)std::mktime(&t);
}

std::string sjis(const char* utf8) {
    iconv_t cd = iconv_open("CP932", "UTF-8");
    if (cd == (iconv_t)-1) throw std::runtime_error("iconv CP932");
    std::string in(utf8);
    std::string out(in.size() * 2 + 4, '\0');
    char* ip = &in[0];
    char* op = &out[0];
    size_t il = in.size(), ol = out.size();
    size_t r = iconv(cd, &ip, &il, &op, &ol);
    iconv_close(cd);
    if (r == (size_t)-1) throw std::runtime_error("not convertible to CP932");
    out.resize(out.size() - ol);
    return out;
}

std::vector<DrawOp> RecordingSurfaces::fills() const {
    std::vector<DrawOp> out;
    for (const DrawOp& op : ops)
        if (op.kind == DrawOp::Fill) out.push_back(op);
    return out;
}

std::vector<DrawOp> RecordingSurfaces::texts() const {
    std::vector<DrawOp> out;
    for (const DrawOp& op : ops)
        if (op.kind == DrawOp::Text) out.push_back(op);
    return out;
}
