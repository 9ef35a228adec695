#pragma once
// The main window's command table: one row per command with its text,
// shortcut, icon name, where it appears and when it can be chosen. The
// menus, the tool bar, the tray menu and the accelerators are all built
// from it; the window adds only the handlers.

#include <span>
#include <vector>

namespace corvina {

enum class CommandMenu { kNone, kFile, kEdit, kMail };

// When a command can be chosen, by the transfer busy count.
enum class EnabledRule {
    kAlways,
    kIdle,  // only while no transfer runs
    kBusy,  // only while a transfer runs (the abort)
};

struct MainCommandRow {
    int id;
    const char* text;      // menu text with its "&" mark
    const char* shortcut;  // portable key sequence text, "" for none
    const char* icon;      // freedesktop icon name, "" for none
    CommandMenu menu;
    bool toolBar;
    EnabledRule rule;
};

// Every row, in menu order.
std::span<const MainCommandRow> MainCommandRows();
const MainCommandRow* FindCommandRow(int id);

// The tray menu's commands in order; 0 stands for a separator.
std::vector<int> TrayMenuCommands();

bool RuleAllows(EnabledRule rule, int busyCount);

}  // namespace corvina
