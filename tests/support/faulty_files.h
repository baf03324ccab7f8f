// Files in memory that are replaced the way the program's own Files do it (a temporary file
// beside the old one, written in pieces, flushed, then renamed over it), with a fault to
// inject at each of those steps and in the folders around them.
#pragma once
#include <cstddef>
#include <map>
#include <set>
#include <string>
#include "base/platform.h"

class FaultyFiles : public Files {
public:
    enum Fault {
        None,
        WriteFailsHalfWay,  // an I/O error after half of the bytes
        DiskFull,           // no room beyond free_bytes
        FlushFails,
        RenameFails,
        ReadOnlyFolder,     // the folder takes no new file
        MissingFolder,
        ReadOnlyFile,
        FolderInPlace,      // a folder has the file's name
    };

    std::map<std::string, std::string> files;
    std::set<std::string> folders;  // the current folder ("") always exists
    Fault fault = None;
    std::size_t free_bytes = 0;     // room left on the disk, for DiskFull
    std::size_t piece = 4096;       // bytes per write call

    // Sets up the situation of a fault around path (the folder that goes missing, the
    // folder in the file's place, ...) and arms it.
    void arm(Fault f, const std::string& path);
    // Takes the fault away again (the user has made room, made the file writable, ...).
    void disarm(const std::string& path);

    // Files that are neither path nor the ones listed: leftovers of a failed replacement.
    bool has_temporary_files() const;

    int read(const char* path, void* buf, std::size_t cap, std::size_t* got, bool* more) override;
    int replace(const char* path, const void* data, std::size_t len) override;
    bool exists(const char* path) override;
    bool is_file(const char* path) override;

private:
    std::set<std::string> read_only_;
    static std::string folder_of(const std::string& path);
    std::size_t used() const;
};

const char* fault_name(FaultyFiles::Fault f);
