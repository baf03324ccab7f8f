// A desktop that records what capture control asked of it, for the native tests.
#pragma once
#include <cstdint>
#include <string>
#include <vector>
#include "base/platform.h"

struct DesktopCall {
    std::string what;  // "find", "launch", "place", "send"
    std::string a, b;  // find: class, title; launch: application, command line
    WindowRef window;  // place, send
    int x, y;          // place
    std::uint32_t message;
};

class FakeDesktop : public Desktop {
public:
    std::vector<DesktopCall> calls;
    // What successive lookups find; the last entry repeats. Empty: nothing is found.
    std::vector<WindowRef> lookups;
    std::size_t lookup_count = 0;

    WindowRef find_window(const char* window_class, const char* title) override {
        calls.push_back({"find", window_class, title, nullptr, 0, 0, 0});
        if (lookups.empty()) return nullptr;
        std::size_t i = lookup_count < lookups.size() ? lookup_count : lookups.size() - 1;
        ++lookup_count;
        return lookups[i];
    }
    void launch(const char* application, const char* command_line) override {
        calls.push_back({"launch", application, command_line, nullptr, 0, 0, 0});
    }
    void place_at_bottom(WindowRef window, int x, int y) override {
        calls.push_back({"place", "", "", window, x, y, 0});
    }
    bool answers = true;
    bool send(WindowRef window, std::uint32_t message) override {
        calls.push_back({"send", "", "", window, 0, 0, message});
        return answers;
    }
    std::vector<std::string> kinds() const {
        std::vector<std::string> out;
        for (const DesktopCall& c : calls) out.push_back(c.what);
        return out;
    }
};

// Installs a FakeDesktop for the scope and puts the previous desktop back afterwards.
struct ScopedFakeDesktop {
    FakeDesktop fake;
    Desktop* saved;
    ScopedFakeDesktop() : saved(platform.desktop) { platform.desktop = &fake; }
    ~ScopedFakeDesktop() { platform.desktop = saved; }
};
