#pragma once
// The main window's placement and pane sizes as the settings keep them:
// read when the window is created, written back when it closes.

namespace corvina {

class ConfigStore;
struct Settings;

struct PlacementRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    bool operator==(const PlacementRect&) const = default;
};

struct WindowPlacement {
    // The window's normal (not maximised) geometry; unset when the window
    // system is to choose.
    bool hasGeometry = false;
    PlacementRect geometry;
    bool maximized = false;
    // Folder tree width and message list height; unset (kPlacementUnset)
    // until saved once.
    int paneWidth1 = -1;
    int paneHeight1 = -1;
    bool operator==(const WindowPlacement&) const = default;
};

// The stored values as the window uses them. A stored geometry that would
// put the window out of reach (too small, or no part of it on `screen`)
// is dropped so that the window system places the window.
WindowPlacement PlacementFromSettings(const Settings& settings, const PlacementRect& screen);

// The pane sizes to use in a client area of `width` x `height`: the stored
// ones, when they leave room for the other pane, else a quarter of the
// width for the tree and two fifths of the height for the list.
struct PaneSizes {
    int treeWidth = 0;
    int listHeight = 0;
    bool operator==(const PaneSizes&) const = default;
};
PaneSizes PaneSizesFor(const WindowPlacement& placement, int width, int height);

// Writes all seven values (MainLeft, MainTop, MainWidth, MainHeight,
// MainShowCmd, PaneWidth1, PaneHeight1) to the store and to `settings`.
// MainShowCmd is 3 when maximised, else 1.
void WritePlacement(ConfigStore& store, Settings& settings, const WindowPlacement& placement);

}  // namespace corvina
