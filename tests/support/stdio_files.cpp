#include "tests/support/stdio_files.h"

#include <sys/stat.h>
#include <cstdio>
#include <string>

int StdioFiles::read(const char* path, void* buf, std::size_t cap, std::size_t* got, bool* more) {
    *got = 0;
    *more = false;
    struct stat st;
    if (stat(path, &st) != 0 || S_ISDIR(st.st_mode)) return -1;
    FILE* f = std::fopen(path, "rb");
    if (!f) return -1;
    *got = std::fread(buf, 1, cap, f);
    if (*got == cap && std::fgetc(f) != EOF) *more = true;
    std::fclose(f);
    return 0;
}

int StdioFiles::replace(const char* path, const void* data, std::size_t len) {
    struct stat st;
    if (stat(path, &st) == 0 && (S_ISDIR(st.st_mode) || !(st.st_mode & S_IWUSR))) return -1;
    std::string tmp = std::string(path) + ".new";
    FILE* f = std::fopen(tmp.c_str(), "wb");
    if (!f) return -1;
    bool ok = std::fwrite(data, 1, len, f) == len;
    if (std::fflush(f) != 0) ok = false;
    if (std::fclose(f) != 0) ok = false;
    if (ok && std::rename(tmp.c_str(), path) != 0) ok = false;
    if (!ok) std::remove(tmp.c_str());
    return ok ? 0 : -1;
}

bool StdioFiles::exists(const char* path) {
    struct stat st;
    return stat(path, &st) == 0;
}

bool StdioFiles::is_file(const char* path) {
    struct stat st;
    return stat(path, &st) == 0 && S_ISREG(st.st_mode);
}
