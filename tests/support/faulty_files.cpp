#include "tests/support/faulty_files.h"

#include <cstring>

const char* fault_name(FaultyFiles::Fault f) {
    static const char* const names[] = {"None",         "WriteFailsHalfWay", "DiskFull",
                                        "FlushFails",   "RenameFails",       "ReadOnlyFolder",
                                        "MissingFolder", "ReadOnlyFile",     "FolderInPlace"};
    return names[f];
}

std::string FaultyFiles::folder_of(const std::string& path) {
    std::size_t cut = path.find_last_of("\\/");
    return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

std::size_t FaultyFiles::used() const {
    std::size_t n = 0;
    for (const auto& f : files) n += f.second.size();
    return n;
}

void FaultyFiles::arm(Fault f, const std::string& path) {
    fault = f;
    const std::string folder = folder_of(path);
    switch (f) {
    case DiskFull:
        // Room for a few bytes more, not for the whole file.
        free_bytes = used() + 64;
        break;
    case ReadOnlyFolder:
        read_only_.insert(folder);
        break;
    case MissingFolder:
        // The folder is gone, and the file with it.
        folders.erase(folder);
        for (auto it = files.begin(); it != files.end();)
            it = folder_of(it->first) == folder ? files.erase(it) : std::next(it);
        break;
    case ReadOnlyFile:
        read_only_.insert(path);
        break;
    case FolderInPlace:
        files.erase(path);
        folders.insert(path);
        break;
    default:
        break;
    }
}

void FaultyFiles::disarm(const std::string& path) {
    if (fault == MissingFolder) folders.insert(folder_of(path));
    if (fault == FolderInPlace) folders.erase(path);
    read_only_.clear();
    fault = None;
}

bool FaultyFiles::has_temporary_files() const {
    for (const auto& f : files)
        if (f.first.size() > 4 && f.first.compare(f.first.size() - 4, 4, ".new") == 0) return true;
    return false;
}

int FaultyFiles::read(const char* path, void* buf, std::size_t cap, std::size_t* got, bool* more) {
    *got = 0;
    *more = false;
    auto it = files.find(path);
    if (it == files.end()) return -1;
    std::size_t n = it->second.size() < cap ? it->second.size() : cap;
    std::memcpy(buf, it->second.data(), n);
    *got = n;
    *more = it->second.size() > cap;
    return 0;
}

int FaultyFiles::replace(const char* path_text, const void* data, std::size_t len) {
    const std::string path = path_text;
    const std::string folder = folder_of(path);
    if (!folder.empty() && !folders.count(folder)) return -1;
    if (folders.count(path) || read_only_.count(path)) return -1;
    if (read_only_.count(folder)) return -1;
    const std::string tmp = path + ".new";
    std::string& out = files[tmp];
    out.clear();
    bool ok = true;
    const char* bytes = static_cast<const char*>(data);
    for (std::size_t done = 0; done < len && ok;) {
        std::size_t n = len - done < piece ? len - done : piece;
        if (fault == WriteFailsHalfWay && done + n > len / 2) {
            n = len / 2 - done;
            ok = false;
        }
        if (fault == DiskFull && used() + n > free_bytes) {
            n = free_bytes > used() ? free_bytes - used() : 0;
            ok = false;
        }
        out.append(bytes + done, n);
        done += n;
    }
    if (ok && fault == FlushFails) ok = false;
    if (ok && fault == RenameFails) ok = false;
    if (!ok) {
        files.erase(tmp);
        return -1;
    }
    files[path] = out;
    files.erase(tmp);
    return 0;
}

bool FaultyFiles::exists(const char* path) {
    return files.count(path) != 0 || folders.count(path) != 0;
}

bool FaultyFiles::is_file(const char* path) { return files.count(path) != 0; }
