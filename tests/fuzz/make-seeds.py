#!/usr/bin/env python3
"""Writes the seed inputs of the fuzz targets into tests/fuzz/corpus/<target>/.

fuzz_schedule_table: a table of 40 records of 276 bytes, then the number in use, the time
zone (0 Tokyo, 1 Berlin, 2 UTC, 3 New York, 4 Lord Howe), four bytes of offset in seconds
from Monday 2024-03-25 00:00 UTC (little-endian, signed), a flags byte and the tick steps
(b < 128: b + 1 seconds; else (b - 127) * 300 seconds).
fuzz_settings_file: 16 bytes of parameters, then the settings file.
fuzz_journal: 8 bytes of parameters (flags, reservations in use, start-up moment in steps of
3 hours from 2026-12-07 03:00 UTC, signed, the read's cut and the change of the file, two
bytes each little-endian, the window's cap in 64 bytes), then "tavrel.log".
fuzz_iepg: 4 bytes of parameters (flags, reservations in use, the current moment in hours
from 2026-12-08 00:00, signed, the error buffer's size), then the iEPG file.
"""
import os
import struct

here = os.path.dirname(os.path.abspath(__file__))


def record(name=b"", start_date=b"020101", end_date=b"020101", start_time=b"000000",
           end_time=b"000000", weekdays=0, repeat=0, video=4000000, audio=384, rate=48000,
           vbr=0, size=0, colour=0x5454FF, use_conditions=0, folder=b"", move=0,
           brightness=127, contrast=70, saturation=67, hue=0, use_quality=0, mpeg1=0,
           after_action=0, after_delay=0, stream_format=0, use_gop=0, gop=0):
    def text(value, size):
        assert len(value) < size
        return value + b"\0" * (size - len(value))
    r = (text(name, 21) + text(start_date, 7) + text(end_date, 7) + text(start_time, 7) +
         text(end_time, 7) + bytes([weekdays, 0, 0]) +
         struct.pack("<iiiiiiIi", repeat, video, audio, rate, vbr, size, colour, use_conditions) +
         text(folder, 128) +
         bytes([move, brightness, contrast, saturation, hue, use_quality, mpeg1, after_action]) +
         struct.pack("<i", after_delay) + bytes([stream_format, use_gop, gop]) + b"\0" * 49)
    assert len(r) == 276
    return r


def table(records):
    records = list(records) + [record() for _ in range(40 - len(records))]
    return b"".join(records)


def params(count, zone, offset, flags, steps):
    return bytes([count, zone]) + struct.pack("<i", offset) + bytes([flags]) + bytes(steps)


def sj(text):
    return text.encode("cp932")


def write(target, name, data):
    folder = os.path.join(here, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


# The week of 2024-03-25 (Monday) .. 2024-03-31 (Sunday, Europe changes to summer time).
week = [
    record(sj("ニュース"), b"240325", b"240325", b"210000", b"220000"),
    record(sj("深夜映画"), b"240330", b"240331", b"233000", b"010000", colour=0x00FF00,
           use_conditions=1, use_quality=1, stream_format=2, use_gop=1, gop=3,
           move=1, folder=b"d:\\rec\\movie", after_delay=30),
    record(sj("朝の天気"), b"240301", b"241231", b"070000", b"073000", weekdays=64 | 16 | 4,
           repeat=1, mpeg1=1, use_conditions=1, size=4),
    record(sj("週末の夜"), b"240101", b"241231", b"230000", b"010000", weekdays=2, repeat=1,
           after_action=4, after_delay=60),
    record(sj("夏時間の谷"), b"240301", b"240430", b"013000", b"033000", weekdays=1, repeat=1),
    record(sj("零時"), b"240327", b"240327", b"000000", b"003000", stream_format=4,
           use_gop=1, gop=255),
]
write("fuzz_schedule_table", "week-berlin", table(week) + params(6, 1, 0, 0, [129, 129, 59]))
write("fuzz_schedule_table", "week-tokyo-failing-files",
      table(week) + params(6, 0, -9 * 3600, 4 | 8 | 16 | 1, [59, 200, 129]))
write("fuzz_schedule_table", "week-lordhowe", table(week) + params(6, 4, 3 * 86400, 2, [255, 1]))
write("fuzz_schedule_table", "defaults", table([]))
full = [record(sj("番組%02d" % i), b"2403%02d" % (25 + i % 7), b"2403%02d" % (25 + i % 7),
               b"%02d0000" % (i % 24), b"%02d3000" % (i % 24), weekdays=127, repeat=i % 2,
               colour=0x010101 * (i * 6)) for i in range(40)]
write("fuzz_schedule_table", "forty-new-york", table(full) + params(40, 3, 86400, 0, [9, 140]))
# Names without NUL, digits that are no dates, modes outside 0..1.
damaged = [record(b"X" * 20, b"24ab25", b"999999", b"250000", b"12", repeat=7, weekdays=255),
           record(sj("あいうえおかきくけこ"), b"240399", b"240325", b"0000", b"235959", repeat=1,
                  weekdays=0x80 | 64)]
raw = bytearray(table(damaged))
raw[20] = 0x82  # a lead byte where the first name's NUL was
raw[21 + 6] = ord("9")  # start_date without its NUL
write("fuzz_schedule_table", "damaged", bytes(raw) + params(2, 2, 0, 0, [129]))


def settings_params(flags=0, index=0, video=6000000, size=3, audio_sel=4, vbr=1, b=128, c=64,
                    s=90, h=10, stream=1, gop=0, key_line=3):
    p = (bytes([flags, index]) + struct.pack("<i", video) +
         bytes([size & 0xFF, audio_sel, vbr, b, c, s, h, stream, gop, key_line]))
    return p + b"\0" * (16 - len(p))


ini = (b"[Video]\r\ndwVideoBitrate=4000000\r\ndwAudioBitrate=384\r\ndwAudioSampleFreq=48000\r\n"
       b"HRes=0\r\nm_bIsVBR=0\r\nOMODE=0\r\nIsEs=3\r\nMPeriod=3\r\nm_NNtsc=15\r\n"
       b"[Picture]\r\nBrightness=127\r\nContrast=70\r\nSaturation=67\r\nHue=0\r\n"
       b"[Path]\r\nSaveFolder=" + sj("c:\\録画\\Samples") + b"\r\n")
write("fuzz_settings_file", "realistic", settings_params() + ini)
write("fuzz_settings_file", "lf-only-mpeg1-install",
      settings_params(flags=1 | 2, index=39, stream=4, gop=6) + ini.replace(b"\r\n", b"\n"))
write("fuzz_settings_file", "odd-lines",
      settings_params(stream=3, gop=255, size=0xFF, key_line=1) +
      b"Hue = 5\r\nHueX=1\r\nHue=1=2\r\n; " + b"x" * 100 + b"\r\n" + b"Brightness=" + b"9" * 90 +
      b"\r\nHRes=1\r\n[Second]\r\nHRes=2\r\n\x1a\rlone CR\r\nm_bIsVBR=0")
write("fuzz_settings_file", "near-400-pieces",
      settings_params(flags=4) + b"".join(b"Key%03d=%s\r\n" % (i, b"v" * (i % 70)) for i in range(399))
      + b"Hue=0")
write("fuzz_settings_file", "missing", settings_params(flags=8))


def journal_params(flags=0, count=3, now=0, shift=0, amount=0, cap=255):
    return bytes([flags, count - 1, now & 0xFF]) + struct.pack("<HH", shift, amount) + bytes([cap])


def jl(when, word, slot="-", name="", details=""):
    return sj("%s\t%s\t%s\t%s\t%s\r\n" % (when, word, slot, name, details))


day = [
    jl("2026/12/06 21:00:00 +0900", "起動", details="録画ソフトのフォルダ: c:\\録画"),
    jl("2026/12/06 21:59:00 +0900", "録画開始", 1, "深夜映画の長い名前で",
       "終了予定 2026/12/06 23:00:00、空き容量 1,024 MB、予定サイズ 900 MB"),
    jl("2026/12/06 23:00:15 +0900", "録画終了", 1, "深夜映画の長い名前で", "c:\\録画\\a.mpg 1,000 MB"),
    jl("2026/12/06 23:00:16 +0900", "録画漏れ", 2, "番組01",
       "2026/12/06 22:07:00〜2026/12/06 23:07:00: 別の予約(1 深夜映画の長い名前で)を録画中でした"),
    jl("2026/12/06 23:30:00 +0900", "録画漏れ", details="ほか5件の録画漏れ(2026/12/06 23:20:00 +0900〜"
       "2026/12/06 23:30:00 +0900): PCがスリープ中だったか、時計が変更されました"),
    jl("2026/12/07 01:00:00 +0900", "終了"),
]
realistic = b"".join(day)
write("fuzz_journal", "realistic", journal_params() + realistic)
write("fuzz_journal", "past-256k-cut-in-a-character-shrinks",
      journal_params(flags=1 | 2, shift=realistic.index(sj("深夜")) + 1, amount=700) + realistic)
write("fuzz_journal", "grows-berlin-older-file",
      journal_params(flags=4 | 16 | 32, now=-2, amount=90, cap=3) + realistic)
write("fuzz_journal", "vanishes", journal_params(flags=1 | 2 | 4, shift=17) + realistic)
write("fuzz_journal", "unended-long-name",
      journal_params(flags=64, count=3) + jl("2026/12/06 21:50:00 +0900", "録画開始", 3, "表" * 16) +
      jl("2026/12/06 23:10:00 +0900", "復帰タイマー"))
write("fuzz_journal", "damaged-spans",
      journal_params(count=40, now=-3) + b"".join(
          jl("2026/12/06 09:00:00 +0900", "録画漏れ", details="ほか5件の録画漏れ(2026/12/06 08:00:00 +0900〜"
             "%s): x" % end) for end in ("2926/12/06 08:00:00 +0900", "2036/12/06 08:00:00 +0900",
                                         "2026/12/01 08:00:00 +0900", "2026/12/06 08:00:00 +9999")))
write("fuzz_journal", "nuls-bad-dates",
      journal_params(count=5, now=1, cap=2) +
      jl("2026/13/40 25:61:61 +0900", "起動") + b"\0\0\0\r\n" +
      jl("2026/12/06 10:00:00", "録画開始", 3, "番組03\0x") + jl("2026/12/06 10:00:00 -2400", "終了") +
      sj("2026/12/06 11:00:00 +0900\t録画開始\t2\t名前") + b"\x82\t\r\n" +
      sj("2026/12/06 12:00:00 +0900\t録画漏れ\t") + b"\x82")
write("fuzz_journal", "deleted-slots",
      journal_params(count=6, now=1) + jl("2026/12/06 21:50:00 +0900", "録画開始", 5, "番組04") +
      jl("2026/12/06 22:20:00 +0900", "録画漏れ", 3, "番組02",
         "2026/12/06 22:07:00〜2026/12/06 23:07:00: PCがスリープ中だったか、時計が変更されました") +
      jl("2026/12/06 22:30:00 +0900", "予約削除", 2, "番組01") +
      jl("2026/12/06 22:31:00 +0900", "予約削除", 40, "x") + jl("2026/12/06 22:32:00 +0900", "予約削除") +
      jl("2026/12/06 23:10:00 +0900", "復帰タイマー"))
write("fuzz_journal", "forty-missed-over-days",
      journal_params(count=40, now=16) + jl("2026/12/05 12:00:00 +0900", "終了"))


def iepg_params(flags=0, count=3, hours=12, cap=200):
    return bytes([flags, count, hours & 0xFF, cap])


def programme(title, month=12, date=8, start="21:00", end="21:54", year="2026", eol="\r\n"):
    lines = ["station: DFS00400", "station-name: テレビ", "program-title: " + title]
    if year:
        lines.append("year: " + year)
    lines += ["month: %02d" % month, "date: %02d" % date, "start: " + start, "end: " + end]
    return eol.join(lines) + eol


def tvpi(fields, version=1, eol="\r\n"):
    kind = "x-tv-program-info" if version == 1 else "x-tv-program-digital-info"
    return ("Content-type: application/%s; charset=shift_jis%sversion: %d%s" % (kind, eol, version, eol)
            + fields + eol + "番組の説明です。" + eol)


def multi(parts, boundary="--tvp", closed=True):
    text = "Content-type: application/x-multi-tv-program-info\r\nversion: 1\r\nboundary: %s\r\n\r\n" % boundary
    for part in parts:
        text += "--%s\r\n" % boundary + tvpi(part)
    return text + ("--%s--\r\n" % boundary if closed else "")


write("fuzz_iepg", "v1-crlf", iepg_params() + sj(tvpi(programme("夜のニュース"))))
write("fuzz_iepg", "v2-lf-late-hours-unended",
      iepg_params(flags=1, hours=-20) +
      sj(tvpi(programme("深夜アニメ", start="25:30", end="26:00", eol="\n"), version=2, eol="\n")).rstrip(b"\n"))
write("fuzz_iepg", "multi-no-year-duplicate",
      iepg_params(flags=2, count=1) +
      sj(multi([programme("朝の連続ドラマ小説・再放送の長い題名", 12, 9, "07:30", "07:45"),
                programme("映画", 12, 31, "23:00", "24:30", year=None),
                programme("映画", 12, 31, "23:00", "24:30", year=None)])))
write("fuzz_iepg", "bom-utf8",
      iepg_params(count=0) + b"\xef\xbb\xbf" +
      tvpi(programme("ドラマ〜最終回〜 ｱｲｳ ¢£¬ café 😀")).encode("utf-8"))
write("fuzz_iepg", "multi-full-refused",
      iepg_params(count=30, cap=9) +
      sj(multi([programme("番組%02d" % i, 12, 9 + i % 20, "%02d:00" % (i % 24), "%02d:30" % (i % 24))
                for i in range(40)], boundary="b", closed=False)))
write("fuzz_iepg", "errors",
      iepg_params(cap=40) + sj(tvpi(programme("二月", month=2, date=30)) + tvpi(programme("x", end=""))))
