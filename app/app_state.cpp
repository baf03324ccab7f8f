#include "app/app_state.h"

#include <cstring>

AppState app;

void reset_app_state() {
    std::memset(&app, 0, sizeof(app));
    app.selected_index = -1;
    app.current_colour = kDefaultColour;
    app.edited_index = -1;
}

namespace {
struct InitialState {
    InitialState() { reset_app_state(); }
} initial_state;
}  // namespace
