// Every double-byte character of code page 932 by its Unicode code point (but the
// user-defined area, which base/sjis.cpp works out), written by scripts/make-sjis-table.py.
#pragma once
#include <cstddef>
#include <cstdint>

// kSjisTablePairs pairs of a code point and its code page 932 form (lead byte high),
// in the order of the code points.
extern const std::uint16_t kSjisTable[];
extern const std::size_t kSjisTablePairs;
