// Any bytes as the capture application's settings file, run through the read, replace and
// write cycle and through the four writers. Each result is compared with a plain model of
// the file's rules: a line's key is its text before the first "=", only the first line of
// a key changes, and every other byte comes back as it was, line ends as CR LF. A file
// that is refused (a NUL byte, more than 400 pieces) or cannot be written is left whole.
//
// Input: 16 bytes of parameters (flags, slot, the record's condition fields, the keys to
// replace), then the file's bytes.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "base/capture_interface.h"
#include "capture_settings/settings_file.h"
#include "engine/scheduler.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/support/core_state.h"

namespace {

FuzzMessages messages;
FuzzFiles files;

// The file as the rules see it, or refused.
struct Model {
    bool refused = false;
    std::vector<std::string> lines;  // each with its line feed, the last one maybe without

    static Model of(const std::string& raw) {
        Model m;
        if (raw.find('\0') != std::string::npos) {
            m.refused = true;
            return m;
        }
        std::string text;
        for (std::size_t i = 0; i < raw.size(); ++i)
            if (!(raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n')) text += raw[i];
        std::size_t pieces = 0;
        for (std::size_t pos = 0; pos < text.size();) {
            std::size_t lf = text.find('\n', pos);
            std::size_t end = lf == std::string::npos ? text.size() : lf + 1;
            m.lines.push_back(text.substr(pos, end - pos));
            pieces += (end - pos + 78) / 79;
            pos = end;
        }
        m.refused = pieces > 400;
        return m;
    }

    int replace(const std::string& key, const std::string& value) {
        if (key.empty() || key.find_first_of("=\r\n") != std::string::npos ||
            value.find_first_of("\r\n") != std::string::npos || key.size() + value.size() + 3 > 90)
            return -1;
        for (std::string& line : lines) {
            std::size_t eq = line.find('=');
            if (eq != std::string::npos && line.compare(0, eq, key) == 0 && eq == key.size()) {
                line = key + "=" + value + "\n";
                return 1;
            }
        }
        return 0;
    }

    std::string written() const {
        std::string out;
        for (const std::string& line : lines)
            for (char c : line) {
                if (c == '\n') out += '\r';
                out += c;
            }
        return out;
    }
};

std::string dec(long v) { return std::to_string(v); }

const char* g_path;

// One writer's cycle on the file and on the model, and the comparison.
template <typename Replace>
void writer_cycle(int (*writer)(WindowRef, int), int index, bool file_present, bool fail_write,
                  Replace replace_keys) {
    const std::string before = file_present ? files.files[g_path] : std::string();
    const int msgs = messages.count;
    const int writes = files.replace_calls;
    const int result = writer(nullptr, index);
    if (!file_present) {
        FUZZ_CHECK(result == -1 && !files.exists(g_path) && files.replace_calls == writes,
                   "a missing file was written");
        FUZZ_CHECK(messages.count == msgs + 1 && messages.last_caption == "err" &&
                       messages.last_text == std::string("file open error \n can't detect -> ") + g_path,
                   "missing file not reported as such");
        return;
    }
    Model m = Model::of(before);
    if (m.refused) {
        FUZZ_CHECK(result == -1 && files.replace_calls == writes && files.files[g_path] == before,
                   "a refused file was written");
        FUZZ_CHECK(messages.count == msgs + 1 && messages.last_caption == "err", "refusal not shown");
        return;
    }
    replace_keys(m);
    FUZZ_CHECK(files.replace_calls == writes + 1, "written %d times", files.replace_calls - writes);
    if (fail_write) {
        FUZZ_CHECK(result == -1 && files.files[g_path] == before, "failed write changed the file");
        FUZZ_CHECK(messages.count == msgs + 1 &&
                       messages.last_text == std::string("file open error \n can't detect -> ") + g_path,
                   "failed write not shown");
        return;
    }
    FUZZ_CHECK(result == 0 && messages.count == msgs, "writer failed on a good file");
    FUZZ_CHECK(files.files[g_path] == m.written(), "written file differs from the model");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static bool setup = false;
    if (!setup) {
        setup = true;
        platform.messages = &messages;
        platform.files = &files;
    }
    reset_core_state();
    InputBytes in(data, size < 16 ? size : 16);
    const int flags = in.byte();
    const int index = in.byte() % kMaxReservations;
    capture_choice.use_install_folder = flags & 1;
    Reservation& r = reservations.table.slots[index];
    r.mpeg1 = (flags & 2) ? (std::uint8_t)in.byte() | 1 : 0;
    const bool fail_write = (flags & 4) != 0;
    const bool file_present = (flags & 8) == 0;
    r.video_bitrate = (std::int32_t)in.u32();
    r.record_size_index = (std::int8_t)in.byte();
    static const std::int32_t kAudio[] = {192, 224, 256, 320, 384, -1, 0, 2147483647};
    const int sel = in.byte();
    r.audio_bitrate = kAudio[sel & 7];
    r.audio_sample_rate = (sel & 8) ? 44100 : 48000;
    r.vbr = (std::int8_t)in.byte();
    r.brightness = in.byte();
    r.contrast = in.byte();
    r.saturation = in.byte();
    r.hue = in.byte();
    r.stream_format = in.byte();
    r.gop_pattern = in.byte();
    const int key_line = in.byte();

    const std::size_t head = size < 16 ? size : 16;
    const std::string content((const char*)data + head, size - head);
    files.files.clear();
    files.fail_replace = fail_write;
    files.replace_calls = 0;
    messages.count = 0;
    g_path = capture_settings_path(index);
    FUZZ_CHECK(g_path != nullptr, "no path for slot %d", index);
    if (file_present) files.files[g_path] = content;

    // Read, replace the key of a chosen line and one made of parameter bytes, write back.
    {
        Model m = Model::of(content);
        static SettingsLineTable table, saved;
        std::memcpy(&saved, &table, sizeof(saved));
        const int msgs = messages.count;
        const int read = read_capture_settings(nullptr, index, &table);
        if (!file_present || m.refused) {
            FUZZ_CHECK(read == -1 && messages.count == msgs + 1, "bad file read without a message");
            FUZZ_CHECK(std::memcmp(&saved, &table, sizeof(saved)) == 0,
                       "a refused read changed the table");
        } else {
            FUZZ_CHECK(read == 0 && messages.count == msgs, "good file refused");
            std::string key;
            if (!m.lines.empty()) {
                const std::string& line = m.lines[key_line % m.lines.size()];
                key = line.substr(0, line.find('='));
            }
            const std::string value = dec((long)r.video_bitrate);
            const std::string odd_key(1, (char)(r.hue | 0x40));
            const int expect1 = m.replace(key, value);
            FUZZ_CHECK(replace_setting(&table, key.c_str(), value.c_str()) == expect1 || key.find('\0') != std::string::npos,
                       "replace of a line's own key gave another result");
            const int expect2 = m.replace(odd_key, "-1");
            FUZZ_CHECK(replace_setting(&table, odd_key.c_str(), "-1") == expect2, "replace of %s", odd_key.c_str());
            const int writes = files.replace_calls;
            const int wrote = write_capture_settings(nullptr, index, table);
            FUZZ_CHECK(files.replace_calls == writes + 1, "write not attempted once");
            if (fail_write)
                FUZZ_CHECK(wrote == -1 && files.files[g_path] == content, "failed write changed the file");
            else
                FUZZ_CHECK(wrote == 0 && files.files[g_path] == m.written(), "write differs from the model");
        }
        if (file_present) files.files[g_path] = content;
    }

    // The four writers, one after the other on the same file, as a start does.
    writer_cycle(apply_recording_conditions, index, file_present, fail_write, [&](Model& m) {
        m.replace("dwVideoBitrate", dec(r.video_bitrate));
        m.replace("dwAudioBitrate", dec(r.audio_bitrate));
        m.replace("dwAudioSampleFreq", dec(r.audio_sample_rate));
        m.replace("HRes", dec(r.record_size_index));
        m.replace("m_bIsVBR", dec(r.vbr));
    });
    writer_cycle(apply_picture_quality, index, file_present, fail_write, [&](Model& m) {
        m.replace("Brightness", dec(r.brightness));
        m.replace("Contrast", dec(r.contrast));
        m.replace("Saturation", dec(r.saturation));
        m.replace("Hue", dec(r.hue));
    });
    writer_cycle(apply_stream_format, index, file_present, fail_write, [&](Model& m) {
        switch ((std::int8_t)r.stream_format) {
        case 1: m.replace("OMODE", "0"), m.replace("IsEs", "3"); break;
        case 2: m.replace("OMODE", "0"), m.replace("IsEs", "2"); break;
        case 3: m.replace("OMODE", "0"), m.replace("IsEs", "1"); break;
        case 4: m.replace("OMODE", "2"); break;
        default: break;
        }
    });
    writer_cycle(apply_gop_structure, index, file_present, fail_write, [&](Model& m) {
        static const int kGop[7][2] = {{3, 15}, {1, 15}, {1, 12}, {3, 12}, {3, 3}, {1, 3}, {1, 1}};
        const int g = (std::int8_t)r.gop_pattern;
        if (g >= 0 && g <= 6) {
            m.replace("MPeriod", dec(kGop[g][0]));
            m.replace("m_NNtsc", dec(kGop[g][1]));
        }
    });
    return 0;
}
