#include "app/WindowPlacement.h"

#include <algorithm>

#include "app/Settings.h"
#include "platform/ConfigStore.h"

namespace corvina {

namespace {

// Smaller than this, a window cannot show its three panes.
constexpr int kMinWidth = 200;
constexpr int kMinHeight = 150;
// Each pane keeps at least this much of its splitter.
constexpr int kMinPane = 40;

bool Reachable(const PlacementRect& window, const PlacementRect& screen) {
    if (screen.width <= 0 || screen.height <= 0)
        return true;  // nothing known about the screen: trust the values
    const int right = std::min(window.left + window.width, screen.left + screen.width);
    const int bottom = std::min(window.top + window.height, screen.top + screen.height);
    const int left = std::max(window.left, screen.left);
    const int top = std::max(window.top, screen.top);
    // The title bar must be grabbable: a strip of it on the screen.
    return right - left >= kMinPane && bottom - top >= kMinPane && window.top >= screen.top;
}

}  // namespace

WindowPlacement PlacementFromSettings(const Settings& settings, const PlacementRect& screen) {
    WindowPlacement placement;
    PlacementRect geometry{settings.mainLeft, settings.mainTop, settings.mainWidth,
                           settings.mainHeight};
    const bool stored =
        settings.mainLeft != kPlacementUnset && settings.mainTop != kPlacementUnset &&
        settings.mainWidth != kPlacementUnset && settings.mainHeight != kPlacementUnset;
    if (stored && geometry.width >= kMinWidth && geometry.height >= kMinHeight &&
        Reachable(geometry, screen)) {
        placement.hasGeometry = true;
        placement.geometry = geometry;
    }
    placement.maximized = settings.mainShowCmd == kShowMaximized;
    placement.paneWidth1 = settings.paneWidth1;
    placement.paneHeight1 = settings.paneHeight1;
    return placement;
}

PaneSizes PaneSizesFor(const WindowPlacement& placement, int width, int height) {
    PaneSizes sizes{width / 4, height * 2 / 5};
    if (placement.paneWidth1 >= kMinPane && placement.paneWidth1 <= width - kMinPane)
        sizes.treeWidth = placement.paneWidth1;
    if (placement.paneHeight1 >= kMinPane && placement.paneHeight1 <= height - kMinPane)
        sizes.listHeight = placement.paneHeight1;
    return sizes;
}

void WritePlacement(ConfigStore& store, Settings& settings, const WindowPlacement& placement) {
    if (placement.hasGeometry) {
        settings.mainLeft = placement.geometry.left;
        settings.mainTop = placement.geometry.top;
        settings.mainWidth = placement.geometry.width;
        settings.mainHeight = placement.geometry.height;
    }
    settings.mainShowCmd = placement.maximized ? kShowMaximized : kShowNormal;
    settings.paneWidth1 = placement.paneWidth1;
    settings.paneHeight1 = placement.paneHeight1;
    const struct {
        const char* name;
        int value;
    } values[] = {
        {"MainLeft", settings.mainLeft},       {"MainTop", settings.mainTop},
        {"MainWidth", settings.mainWidth},     {"MainHeight", settings.mainHeight},
        {"MainShowCmd", settings.mainShowCmd}, {"PaneWidth1", settings.paneWidth1},
        {"PaneHeight1", settings.paneHeight1},
    };
    for (const auto& value : values)
        store.SetInt(kSettingsSection, value.name, value.value);
}

}  // namespace corvina
