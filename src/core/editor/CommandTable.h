#pragma once
// The editor's key table: every named command with up to two keys, the
// command it sends to the view and the one it posts to the frame; the four
// rows the read-only viewer consults first; and the prefix letters of the
// two-stroke keys. The rows are data; KeyDispatcher is the one place that
// reads them.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "editor/EditorCommandIds.h"
#include "editor/KeyCodes.h"

namespace corvina {

struct CommandRow {
    KeyCode key1 = kNoKey;
    KeyCode key2 = kNoKey;
    EditorCommand viewCommand = EditorCommand::kNone;   // run by the view at once
    EditorCommand frameCommand = EditorCommand::kNone;  // posted to the frame
    std::string_view name;                              // the key file's name

    bool Binds(KeyCode key) const { return key != kNoKey && (key1 == key || key2 == key); }
    // The number "Repeat" and the menus know the command by.
    EditorCommand Command() const {
        return viewCommand != EditorCommand::kNone ? viewCommand : frameCommand;
    }
};

inline constexpr std::size_t kCommandRowCount = 105;

// The built-in rows in their fixed order; the first row binding a key wins.
std::span<const CommandRow> DefaultCommandRows();

// The read-only viewer's rows (frame commands for the main window). The
// key file cannot change them.
std::span<const CommandRow> ViewerRows();

// The first row of `rows` binding `key`, or nullptr.
const CommandRow* FindCommandRow(std::span<const CommandRow> rows, KeyCode key);

// The process-wide key bindings: the command rows as the key file left
// them and the two-stroke prefix letters. A default-constructed object
// holds the built-in defaults (tests build their own).
class KeyBindings {
public:
    static constexpr std::size_t kPrefixSlots = 10;
    static constexpr std::uint8_t kNoPrefix = 0xFF;

    KeyBindings();

    // The one every editor view of the process uses.
    static KeyBindings& Shared();

    std::span<const CommandRow> Rows() const { return rows_; }
    const CommandRow* Find(KeyCode key) const { return FindCommandRow(rows_, key); }
    // The row named `name` (exact, case-sensitive), or nullptr.
    const CommandRow* Row(std::string_view name) const;

    // Sets both keys of the row named `name`; false when no row has that
    // name.
    bool Rebind(std::string_view name, KeyCode key1, KeyCode key2);

    // The prefix letters become the first kPrefixSlots bytes of `letters`;
    // the remaining slots are empty.
    void SetPrefixes(std::string_view letters);
    const std::array<std::uint8_t, kPrefixSlots>& Prefixes() const { return prefixes_; }
    bool IsPrefix(int virtualKey) const;

private:
    std::vector<CommandRow> rows_;
    std::array<std::uint8_t, kPrefixSlots> prefixes_{};
};

}  // namespace corvina
