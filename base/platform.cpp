#include "base/platform.h"

namespace {

class InertMessages : public MessageBoxes {
public:
    void show(WindowRef, const char*, const char*, MessageIcon) override {}
};

class InertFiles : public Files {
public:
    int read(const char*, void*, std::size_t, std::size_t* got, bool* more) override {
        *got = 0;
        *more = false;
        return -1;
    }
    int replace(const char*, const void*, std::size_t) override { return -1; }
    bool exists(const char*) override { return false; }
    bool is_file(const char*) override { return false; }
};

class InertClock : public Clock {
public:
    void sleep_ms(std::uint32_t) override {}
    std::int64_t now() override { return 0; }
};

class InertSurfaces : public Surfaces {
public:
    Canvas* open(WindowRef) override { return nullptr; }
    void close(Canvas*) override {}
};

class InertDesktop : public Desktop {
public:
    WindowRef find_window(const char*, const char*) override { return nullptr; }
    void launch(const char*, const char*) override {}
    void place_at_bottom(WindowRef, int, int) override {}
    bool send(WindowRef, std::uint32_t) override { return false; }
};

class InertFolders : public FolderSystem {
public:
    int search_first(const char*, FoundFile*) override { return -1; }
    int search_next(FoundFile*) override { return -1; }
    void search_close() override {}
    int create_folder(const char*) override { return -1; }
    int move_file(const char*, const char*) override { return -1; }
    std::int64_t free_space(const char*) override { return -1; }
};

class InertPower : public PowerRequests {
public:
    int reboot() override { return 0; }
    int shutdown() override { return 0; }
    int force_logoff() override { return 0; }
    int suspend() override { return 0; }
    void keep_awake(bool) override {}
    int arm_wake_timer(std::time_t) override { return -1; }
    void cancel_wake_timer() override {}
};

class InertHost : public SchedulerHost {
public:
    void post_request(WindowRef, CaptureRequest) override {}
    void send_request(WindowRef, CaptureRequest) override {}
    void repaint(WindowRef) override {}
    void show_reservation(WindowRef, int) override {}
};

class InertJournal : public JournalFiles {
public:
    int append(const char*, const void*, std::size_t) override { return -1; }
    std::int64_t size(const char*) override { return -1; }
    int read_at(const char*, std::int64_t, void*, std::size_t, std::size_t* got) override {
        *got = 0;
        return -1;
    }
    int rename(const char*, const char*) override { return -1; }
};

class InertScripts : public Scripts {
public:
    int start(const char*, const ScriptVariable*, int) override { return 0; }
};

InertMessages inert_messages;
InertFiles inert_files;
InertClock inert_clock;
InertSurfaces inert_surfaces;
InertDesktop inert_desktop;
InertFolders inert_folders;
InertPower inert_power;
InertHost inert_host;
InertJournal inert_journal;
InertScripts inert_scripts;

// Addresses only: constant-initialised, so set before any other file's initialisers run.
constexpr Platform inert = {&inert_messages, &inert_files,   &inert_clock, &inert_surfaces,
                            &inert_desktop,  &inert_folders, &inert_power, &inert_host,
                            &inert_journal,  &inert_scripts};

}  // namespace

Platform inert_platform() { return inert; }

bool MessageBoxes::show_closing(WindowRef owner, const char* text, const char* caption, std::uint32_t) {
    show(owner, text, caption);
    return false;
}

CountdownEnd PowerRequests::count_down(const char*, std::uint32_t) { return kCountdownNoWindow; }

std::int64_t PowerRequests::seconds_since_input() { return -1; }

Platform platform = inert;
