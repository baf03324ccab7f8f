// Faults while "recdata.dat" or the capture settings file is written: the old file stays
// whole, the user is told in the program's own words, nothing is lost in memory, and the
// next save after the fault has gone succeeds. First against a file system in memory with
// each fault injected at its step, then on the host's disk where the fault can be made real.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "base/capture_interface.h"
#include "engine/scheduler.h"
#include "capture_settings/settings_file.h"
#include "reservations/form.h"
#include "reservations/reservation.h"
#include "tests/support/capture_settings_text.h"
#include "tests/support/fakes.h"
#include "tests/support/faulty_files.h"
#include "tests/support/stdio_files.h"

namespace {

WindowRef const kDialog = (WindowRef)0xD1A;

std::string open_error(const std::string& path) { return "file open error \n can't detect -> " + path; }

// The table as the program would hold it: defaults and two named reservations.
void fill_table(ReservationTable& t) {
    std::memset(&t, 0, sizeof(t));
    set_default_reservations(t);
    std::strcpy(t.slots[0].name, "ニュース");
    std::strcpy(t.slots[1].name, "映画");
    t.slots[1].video_bitrate = 8000000;
    t.slots[1].use_conditions = 1;
}

class FaultInjection : public ::testing::TestWithParam<FaultyFiles::Fault> {
protected:
    FakePlatform fake;
    FaultyFiles files;
    void SetUp() override {
        platform.files = &files;
        files.folders.insert("data");
    }
};

TEST_P(FaultInjection, ScheduleSaveKeepsTheOldFileAndTheTable) {
    const std::string path = "data\\recdata.dat";
    const std::string old(11040, 'o');
    files.files[path] = old;
    fill_table(reservations.table);
    const ReservationTable before = reservations.table;
    files.arm(GetParam(), path);
    const std::string on_disk = files.files.count(path) ? files.files[path] : "(none)";

    EXPECT_EQ(-1, save_schedule(reservations.table, kDialog, path.c_str()));
    ASSERT_EQ(1u, fake.messages.shown.size());
    EXPECT_EQ(std::string("ファイルを開けませんでした"), fake.messages.shown[0].text);
    EXPECT_EQ(std::string("失敗"), fake.messages.shown[0].caption);
    EXPECT_EQ(kDialog, fake.messages.shown[0].owner);
    EXPECT_EQ(on_disk, files.files.count(path) ? files.files[path] : "(none)") << "old file whole";
    EXPECT_FALSE(files.has_temporary_files());
    EXPECT_EQ(0, std::memcmp(&before, &reservations.table, sizeof(before))) << "nothing lost in memory";

    files.disarm(path);
    EXPECT_EQ(0, save_schedule(reservations.table, kDialog, path.c_str()));
    EXPECT_EQ(1u, fake.messages.shown.size());
    ASSERT_EQ(11040u, files.files[path].size());
    EXPECT_EQ(0, std::memcmp(files.files[path].data(), &reservations.table, 11040));
}

TEST_P(FaultInjection, SettingsWriterKeepsTheOldFile) {
    // The capture folder is the current one: the settings file has no folder of its own.
    // A missing folder is then the install folder, which is where a missing file is read.
    capture_choice.use_install_folder = GetParam() == FaultyFiles::MissingFolder;
    fill_table(reservations.table);
    const std::string path = capture_settings_path(1);
    std::string folder = path.substr(0, path.find_last_of('\\'));
    if (capture_choice.use_install_folder) files.folders.insert(folder);
    files.files[path] = kCaptureSettingsText;
    files.arm(GetParam(), path);
    const bool present = files.files.count(path) != 0;

    EXPECT_EQ(-1, apply_recording_conditions(kDialog, 1));
    ASSERT_EQ(1u, fake.messages.shown.size());
    EXPECT_EQ(open_error(path), fake.messages.shown[0].text);
    EXPECT_EQ(std::string("err"), fake.messages.shown[0].caption);
    EXPECT_EQ(kDialog, fake.messages.shown[0].owner);
    if (present) {
        EXPECT_EQ(std::string(kCaptureSettingsText), files.files[path]);
    }
    EXPECT_EQ(present, files.files.count(path) != 0) << "no file is created";
    EXPECT_FALSE(files.has_temporary_files());

    files.disarm(path);
    if (!present) files.files[path] = kCaptureSettingsText;
    EXPECT_EQ(0, apply_recording_conditions(kDialog, 1));
    EXPECT_NE(std::string::npos, files.files[path].find("\r\ndwVideoBitrate=8000000\r\n"));
    EXPECT_EQ(std::string(kCaptureSettingsText).size(), files.files[path].size());
}

INSTANTIATE_TEST_SUITE_P(
    EveryFault, FaultInjection,
    ::testing::Values(FaultyFiles::WriteFailsHalfWay, FaultyFiles::DiskFull, FaultyFiles::FlushFails,
                      FaultyFiles::RenameFails, FaultyFiles::ReadOnlyFolder, FaultyFiles::MissingFolder,
                      FaultyFiles::ReadOnlyFile, FaultyFiles::FolderInPlace),
    [](const ::testing::TestParamInfo<FaultyFiles::Fault>& info) { return fault_name(info.param); });

// ---------------------------------------------------------------------------------------
// The same on the host's disk, in a folder of its own that is the current folder.

std::string file_bytes(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

void write_bytes(const std::string& path, const std::string& bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f << bytes;
}

class FaultsOnDisk : public ::testing::Test {
protected:
    FakePlatform fake;
    StdioFiles disk;
    std::string dir;
    char old_cwd[4096] = "";
    void SetUp() override {
        platform.files = &disk;
        char tmpl[] = "/tmp/tavrel-faults-XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(tmpl));
        dir = tmpl;
        ASSERT_NE(nullptr, getcwd(old_cwd, sizeof(old_cwd)));
        ASSERT_EQ(0, chdir(dir.c_str()));
        fill_table(reservations.table);
    }
    void TearDown() override {
        ASSERT_EQ(0, chdir(old_cwd));
        std::string cmd = "chmod -R u+w '" + dir + "' && rm -rf '" + dir + "'";
        ASSERT_EQ(0, std::system(cmd.c_str()));
    }
    // Runs body in a child process whose files may grow to at most limit bytes (a write
    // beyond it fails half-way, as on a full disk); the child's exit code is body's result.
    static int with_file_size_limit(rlim_t limit, int (*body)()) {
        pid_t pid = fork();
        if (pid == 0) {
            signal(SIGXFSZ, SIG_IGN);
            struct rlimit rl = {limit, limit};
            setrlimit(RLIMIT_FSIZE, &rl);
            _exit(body());
        }
        int status = 0;
        waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 100;
    }
    std::string temporaries() {
        std::string cmd = "ls -A '" + dir + "' | grep '\\.new$' || true";
        FILE* p = popen(cmd.c_str(), "r");
        char buf[256] = "";
        std::string out;
        while (p && std::fgets(buf, sizeof(buf), p)) out += buf;
        if (p) pclose(p);
        return out;
    }
};

// Each check in the child gives its own exit code, so that a failure names it.
int save_in_child() {
    if (save_schedule(reservations.table, kDialog, "recdata.dat") != -1) return 1;
    auto* shown = &static_cast<RecordingMessageBoxes*>(platform.messages)->shown;
    if (shown->size() != 1 || (*shown)[0].text != "ファイルを開けませんでした" ||
        (*shown)[0].caption != "失敗")
        return 2;
    return 0;
}

int writer_in_child() {
    if (apply_recording_conditions(kDialog, 1) != -1) return 1;
    auto* shown = &static_cast<RecordingMessageBoxes*>(platform.messages)->shown;
    if (shown->size() != 1 || (*shown)[0].text != open_error("Krotx2.ini") || (*shown)[0].caption != "err")
        return 2;
    return 0;
}

TEST_F(FaultsOnDisk, WriteThatFailsHalfWayLeavesTheScheduleWhole) {
    const std::string old(11040, 'o');
    write_bytes("recdata.dat", old);
    EXPECT_EQ(0, with_file_size_limit(5000, save_in_child));
    EXPECT_EQ(old, file_bytes("recdata.dat"));
    EXPECT_EQ("", temporaries());
    // With room again the same table is saved whole.
    EXPECT_EQ(0, save_schedule(reservations.table, kDialog, "recdata.dat"));
    EXPECT_EQ(std::string((const char*)&reservations.table, 11040), file_bytes("recdata.dat"));
}

TEST_F(FaultsOnDisk, WriteThatFailsHalfWayLeavesTheSettingsFileWhole) {
    // A file large enough that the rewrite crosses the limit.
    std::string ini = kCaptureSettingsText;
    for (int i = 0; i < 30; ++i) ini += "; comment line " + std::to_string(i) + "\r\n";
    write_bytes("Krotx2.ini", ini);
    EXPECT_EQ(0, with_file_size_limit(ini.size() / 2, writer_in_child));
    EXPECT_EQ(ini, file_bytes("Krotx2.ini"));
    EXPECT_EQ("", temporaries());
}

TEST_F(FaultsOnDisk, TemporaryNameTakenByAFolderFailsBothWrites) {
    const std::string old(11040, 'o');
    write_bytes("recdata.dat", old);
    write_bytes("Krotx2.ini", kCaptureSettingsText);
    ASSERT_EQ(0, mkdir("recdata.dat.new", 0755));
    ASSERT_EQ(0, mkdir("Krotx2.ini.new", 0755));
    EXPECT_EQ(0, save_in_child());
    fake.messages.shown.clear();
    EXPECT_EQ(0, writer_in_child());
    EXPECT_EQ(old, file_bytes("recdata.dat"));
    EXPECT_EQ(std::string(kCaptureSettingsText), file_bytes("Krotx2.ini"));
}

TEST_F(FaultsOnDisk, SettingsFileReadOnlyFolderOrMissingIsLeftAsItWas) {
    // Read-only: read, not written.
    write_bytes("Krotx2.ini", kCaptureSettingsText);
    chmod("Krotx2.ini", 0444);
    EXPECT_EQ(-1, apply_recording_conditions(kDialog, 1));
    EXPECT_EQ(std::string(kCaptureSettingsText), file_bytes("Krotx2.ini"));
    // A folder of that name: not a file to read.
    reservations.table.slots[1].mpeg1 = 1;
    ASSERT_EQ(0, mkdir("Krotx1.ini", 0755));
    EXPECT_EQ(-1, apply_picture_quality(kDialog, 1));
    // The install folder, which does not exist here: nothing is created.
    capture_choice.use_install_folder = 1;
    EXPECT_EQ(-1, apply_gop_structure(kDialog, 1));
    struct stat st;
    EXPECT_NE(0, stat("c:\\Program Files\\TARVO INC\\KRO-TX2\\Krotx1.ini", &st));
    ASSERT_EQ(3u, fake.messages.shown.size());
    EXPECT_EQ(open_error("Krotx2.ini"), fake.messages.shown[0].text);
    EXPECT_EQ(open_error("Krotx1.ini"), fake.messages.shown[1].text);
    EXPECT_EQ(open_error("c:\\Program Files\\TARVO INC\\KRO-TX2\\Krotx1.ini"), fake.messages.shown[2].text);
    for (const ShownMessage& m : fake.messages.shown) EXPECT_EQ(std::string("err"), m.caption);
    EXPECT_EQ("", temporaries());
}

TEST_F(FaultsOnDisk, UpdateWhileTheScheduleIsReadOnlyKeepsTheEditForALaterSave) {
    ASSERT_EQ(0, save_schedule(reservations.table, kDialog, "recdata.dat"));
    const std::string saved = file_bytes("recdata.dat");
    chmod("recdata.dat", 0444);

    // "予約更新" on slot 1: the form's values are stored, the save fails.
    FormValues v;
    bool colour_set;
    form_values_for(1, (std::time_t)1711357200, &v, &colour_set);
    std::strcpy(v.name, "映画の再放送");
    v.start_time = {21, 0, 0};
    v.end_time = {23, 0, 0};
    ASSERT_EQ(0, store_form_values(1, v, kDialog));
    EXPECT_EQ(-1, save_schedule(reservations.table, kDialog, "recdata.dat"));
    ASSERT_EQ(1u, fake.messages.shown.size());
    EXPECT_EQ(std::string("ファイルを開けませんでした"), fake.messages.shown[0].text);
    EXPECT_EQ(saved, file_bytes("recdata.dat"));
    EXPECT_STREQ("映画の再放送", reservations.table.slots[1].name);
    EXPECT_STREQ("210000", reservations.table.slots[1].start_time);

    // Writable again: the next save writes the edit.
    chmod("recdata.dat", 0644);
    EXPECT_EQ(0, save_schedule(reservations.table, kDialog, "recdata.dat"));
    ReservationTable back;
    std::memset(&back, 0, sizeof(back));
    EXPECT_EQ(0, load_schedule(back, kDialog, "recdata.dat"));
    EXPECT_STREQ("映画の再放送", back.slots[1].name);
    EXPECT_STREQ("230000", back.slots[1].end_time);
    EXPECT_EQ(1u, fake.messages.shown.size());
}

}  // namespace
