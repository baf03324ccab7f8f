// The Files interface on the host's file system, for the native tests. It behaves as the
// Win32 layer does: a read-only file (no write permission bits) or a folder cannot be
// replaced, whoever runs the tests.
#pragma once
#include "base/platform.h"

class StdioFiles : public Files {
public:
    int read(const char* path, void* buf, std::size_t cap, std::size_t* got, bool* more) override;
    int replace(const char* path, const void* data, std::size_t len) override;
    bool exists(const char* path) override;
    bool is_file(const char* path) override;
};
