#include "app/win32/iepg_import.h"

#include <shellapi.h>

#include <cstdio>
#include <cstring>
#include <ctime>

#include "app/win32/forecast_window.h"
#include "base/calendar.h"
#include "base/platform.h"
#include "base/win32/text.h"
#include "engine/recording.h"
#include "engine/wake.h"
#include "reservations/iepg.h"
#include "reservations/reservation.h"
#include "reservations/win32/form_commands.h"
#include "resources/resource_ids.h"

namespace {

const char kCaption[] = "iEPGの読み込み";
// How long a second instance keeps trying a busy main dialog, and each try's wait.
const DWORD kHandOverMs = 180000;
const UINT kHandOverTryMs = 5000;
// Files waiting for their import; more dropped at once than this are refused with a box.
const int kQueueMax = 16;

struct QueuedFile {
    char bytes[kIepgFileMax + 1];  // one byte more: the parser sees a larger file to be so
    std::size_t len;
    bool unreadable;
    char name[MAX_PATH * 2];  // Shift-JIS, for the box when it cannot be read
};

struct ImportQueue {
    QueuedFile files[kQueueMax];
    int first, count;
    bool importing;  // an import's boxes are open: the next waits
    IepgFile parsed;
    ReservationTable before;
};
ImportQueue queue = {};

QueuedFile* new_entry() {
    if (queue.count == kQueueMax) return nullptr;
    QueuedFile* f = &queue.files[(queue.first + queue.count++) % kQueueMax];
    f->len = 0;
    f->unreadable = false;
    f->name[0] = '\0';
    return f;
}

// Reads up to one byte more than an iEPG file may hold.
bool read_file(const wchar_t* path, QueuedFile* f) {
    wide_to_sjis(path, f->name, (int)sizeof(f->name));
    HANDLE h = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    f->unreadable = h == INVALID_HANDLE_VALUE;
    if (f->unreadable) return false;
    while (f->len < sizeof(f->bytes)) {
        DWORD n = 0;
        if (!ReadFile(h, f->bytes + f->len, (DWORD)(sizeof(f->bytes) - f->len), &n, nullptr) || n == 0) break;
        f->len += n;
    }
    CloseHandle(h);
    return true;
}

void box(HWND owner, const char* text) { platform.messages->show((WindowRef)owner, text, kCaption); }

// "20yy/mm/dd hh:mm" of a record's date and time fields.
void record_time(const char* date, const char* time, char* out, std::size_t size) {
    std::snprintf(out, size, "20%.2s/%.2s/%.2s %.2s:%.2s", date, date + 2, date + 4, time, time + 2);
}

void import_file(HWND dialog, const QueuedFile& f) {
    char error[512];
    if (f.unreadable) {
        std::snprintf(error, sizeof(error), "ファイルを読めませんでした: %s", f.name);
        box(dialog, error);
        return;
    }
    const std::time_t now = std::time(nullptr);
    CivilDate today = {2000, 1, 1};
    local_date_of(now, &today, nullptr, nullptr);
    if (parse_iepg(f.bytes, f.len, today, &queue.parsed, error, sizeof(error)) != 0) {
        box(dialog, error);
        return;
    }
    forecast_before_save();
    queue.before = reservations.table;
    IepgImport result = {};
    if (import_iepg(reservations.table, reservations.count, queue.parsed, now, reservations.current_colour,
                    &result, error, sizeof(error)) != 0) {
        box(dialog, error);
        return;
    }
    const int last = result.first_slot + result.added - 1;
    if (result.added > 0) {
        // All or nothing, in the file as in memory.
        if (save_schedule(reservations.table, (WindowRef)dialog, kScheduleFileName) != 0) {
            reservations.table = queue.before;
            return;
        }
        reservations.count = count_in_use(reservations.table);
        refresh_name_list(dialog, IDC_NAME_LIST);
        reservations.selected_index = last;
        SendDlgItemMessageW(dialog, IDC_NAME_LIST, CB_SETCURSEL, (WPARAM)last, 0);
        show_reservation(dialog, last);
        EnableWindow(GetDlgItem(dialog, IDC_OPEN_CONDITIONS), TRUE);
        for (int slot = result.first_slot; slot <= last; ++slot) {
            const Reservation& r = reservations.table.slots[slot];
            char from[32], to[32];
            record_time(r.start_date, r.start_time, from, sizeof(from));
            record_time(r.end_date, r.end_time, to, sizeof(to));
            journal_reservation(kEventReservationAdded, slot, "iEPG %s〜%s", from, to);
        }
        rearm_wake_timer(now);
    }
    SetForegroundWindow(dialog);
    InvalidateRect(dialog, nullptr, FALSE);
    if (result.skipped > 0) {
        char text[sizeof(result.skipped_text) + 64];
        std::snprintf(text, sizeof(text), "次の番組は追加しませんでした:\r\n%s", result.skipped_text);
        box(dialog, text);
    }
    if (result.added > 0) warn_after_save(dialog, last);
}

// The running main dialog, as a second instance finds it.
HWND running_main_dialog() { return FindWindowW(L"#32770", L"Tavrel"); }

}  // namespace

bool take_command_line() {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv) return false;
    const wchar_t* folder = nullptr;
    const wchar_t* file = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (lstrcmpiW(argv[i], L"/dir") == 0 && i + 1 < argc)
            folder = argv[++i];
        else if (!file)
            file = argv[i];
    }
    // The file's own path may be relative to the folder we were started in.
    wchar_t path[MAX_PATH * 2] = L"";
    if (file && !GetFullPathNameW(file, MAX_PATH * 2, path, nullptr)) lstrcpynW(path, file, MAX_PATH * 2);
    if (folder) SetCurrentDirectoryW(folder);
    if (file) {
        QueuedFile* f = new_entry();
        if (f) read_file(path, f);
    }
    LocalFree(argv);
    return file != nullptr;
}

void hand_to_running_instance() {
    if (queue.count == 0) return;
    const QueuedFile& f = queue.files[queue.first];
    if (f.unreadable) {
        import_file(nullptr, f);  // says so
        return;
    }
    COPYDATASTRUCT data = {TAVREL_COPYDATA_IEPG, (DWORD)f.len, (PVOID)f.bytes};
    const DWORD started = GetTickCount();
    do {
        HWND main = running_main_dialog();
        if (main) {
            DWORD pid = 0;
            GetWindowThreadProcessId(main, &pid);
            AllowSetForegroundWindow(pid);  // so that it may come to the front
            DWORD_PTR answer = 0;
            // Not SMTO_ABORTIFHUNG: a dialog blocked in a sequence's wait seems hung at once.
            if (SendMessageTimeoutW(main, WM_COPYDATA, 0, (LPARAM)&data, SMTO_NORMAL, kHandOverTryMs, &answer) &&
                answer == TRUE)
                return;
        }
        Sleep(500);
    } while (GetTickCount() - started < kHandOverMs);
    platform.messages->show(nullptr, "Tavrelが応答しないため、iEPGファイルを渡せませんでした", kCaption);
}

bool receive_iepg_copydata(HWND dialog, const COPYDATASTRUCT* data) {
    if (!data || data->dwData != TAVREL_COPYDATA_IEPG) return false;
    QueuedFile* f = new_entry();
    if (f) {
        f->len = data->cbData < sizeof(f->bytes) ? data->cbData : sizeof(f->bytes);
        if (f->len > 0 && data->lpData) std::memcpy(f->bytes, data->lpData, f->len);
        request_imports(dialog);
    }
    return true;
}

void queue_dropped_files(HWND dialog, HDROP drop) {
    const UINT n = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    int refused = 0;
    for (UINT i = 0; i < n; ++i) {
        wchar_t path[MAX_PATH * 2];
        if (!DragQueryFileW(drop, i, path, MAX_PATH * 2)) continue;
        QueuedFile* f = new_entry();
        if (!f) {
            ++refused;
            continue;
        }
        read_file(path, f);
    }
    DragFinish(drop);
    if (refused > 0) {
        char text[96];
        std::snprintf(text, sizeof(text), "一度に読み込めるのは%d個までです。%d個のファイルは読み込みませんでした",
                      kQueueMax, refused);
        box(dialog, text);
    }
    request_imports(dialog);
}

void request_imports(HWND dialog) { PostMessageW(dialog, kIepgImportMessage, 0, 0); }

void run_queued_imports(HWND dialog) {
    // Never inside a sequence or a modal box's loop (which disables the dialog).
    if (queue.count == 0 || queue.importing || recording.sequence_running || !IsWindowEnabled(dialog))
        return;
    queue.importing = true;
    if (!IsWindowVisible(dialog)) ShowWindow(dialog, SW_SHOW);
    while (queue.count > 0) {
        const QueuedFile& f = queue.files[queue.first];
        import_file(dialog, f);
        queue.first = (queue.first + 1) % kQueueMax;
        --queue.count;
    }
    queue.importing = false;
}
