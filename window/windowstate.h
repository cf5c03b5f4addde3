#pragma once

namespace kolvane {

// What the window is doing, as far as its buttons are concerned. A rip and a
// save each hold the list (one fills it, the other reads it on another
// thread), so neither may start while the other runs.
enum class WindowState {
    idle,
    ripping,   // a rip runs; it reads the settings at every event pass
    stopping,  // a stop was asked; the rip ends at its next event pass
    saving,    // the list is being written on another thread
};

// What one state enables. The one place that says it: the window applies a
// row whenever its state changes, and the buttons' keys and drops follow.
struct StateActions {
    bool load;      // "Load file", Ctrl+O, a dropped file
    bool rip;       // "Rip", F5
    bool nextLine;  // ">>"
    bool save;      // "Save", Ctrl+S
    bool stop;      // Escape and "Stop"
    bool busy;      // the progress bar and "Stop" show once the work lasts
};

constexpr StateActions actionsOf(WindowState state) {
    switch (state) {
        case WindowState::idle:
            return {true, true, true, true, false, false};
        case WindowState::ripping:
            return {false, false, false, false, true, true};
        case WindowState::stopping:
            return {false, false, false, false, false, true};
        case WindowState::saving:
            // Loading and the preview touch neither the list nor the file.
            return {true, false, true, false, true, true};
    }
    return {};
}

}  // namespace kolvane
