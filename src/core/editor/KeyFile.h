#pragma once
// The user's key file: lines "<command name> [key 1] [key 2]" rebind a
// command of the key table (a missing key leaves that slot unbound), a line
// "TwoStroke <letters>" replaces the two-stroke prefix letters, and every
// other line is ignored. The program reads it once at start-up and never
// writes it.

#include <cstddef>
#include <filesystem>

namespace corvina {

class KeyBindings;
struct EditorOptions;

// A line longer than this (without its line end) is ignored whole.
inline constexpr std::size_t kMaxKeyFileLine = 256;

// Applies `file` to `bindings`. Unknown command and key names bind nothing
// and raise no message. False, with `bindings` unchanged, when the file is
// missing or cannot be read.
bool LoadKeyFile(const std::filesystem::path& file, KeyBindings& bindings);

// The start-up step of every editor window: the key file named by
// options.keyDefinition beside `settingsFile`; an empty name means no key
// file. False when no key file was applied.
bool LoadKeyBindings(const std::filesystem::path& settingsFile, const EditorOptions& options,
                     KeyBindings& bindings);
// The same beside the editor's own settings file.
bool LoadKeyBindings(const EditorOptions& options, KeyBindings& bindings);

}  // namespace corvina
