#include "editor/KeyFile.h"

#include <string>
#include <string_view>
#include <vector>

#include "common/BufferedFile.h"
#include "editor/CommandTable.h"
#include "editor/EditorFiles.h"
#include "editor/EditorOptions.h"

namespace corvina {
namespace {

constexpr std::size_t kMaxTokens = 3;

constexpr bool IsSeparator(char c) {
    return c == ' ' || c == '\t';
}

// Line ends of any system; 0x1A is the end mark old editors leave.
constexpr bool IsLineEnd(unsigned char c) {
    return c == '\n' || c == '\r' || c == 0x1A;
}

void ApplyLine(std::string_view line, KeyBindings& bindings) {
    std::vector<std::string_view> tokens;
    std::size_t at = 0;
    while (at < line.size()) {
        while (at < line.size() && IsSeparator(line[at])) {
            ++at;
        }
        std::size_t end = at;
        while (end < line.size() && !IsSeparator(line[end])) {
            ++end;
        }
        if (end > at) {
            if (tokens.size() == kMaxTokens) {
                return;  // not a line of the key file's forms
            }
            tokens.push_back(line.substr(at, end - at));
        }
        at = end;
    }
    if (tokens.empty()) {
        return;
    }
    const auto token = [&](std::size_t i) {
        return i < tokens.size() ? tokens[i] : std::string_view();
    };
    if (tokens[0] == "TwoStroke") {
        bindings.SetPrefixes(token(1));
        return;
    }
    bindings.Rebind(tokens[0], ParseKeyName(token(1)), ParseKeyName(token(2)));
}

}  // namespace

bool LoadKeyFile(const std::filesystem::path& file, KeyBindings& bindings) {
    BufferedFile in;
    if (!in.Open(file, BufferedFile::kRead)) {
        return false;
    }
    // Applied to a copy, so that a read failure halfway leaves the
    // bindings as they were.
    KeyBindings loaded = bindings;
    std::string line;
    bool overlong = false;
    for (;;) {
        const unsigned char c = in.ReadChar();
        const bool end = c == BufferedFile::kEndChar && in.AtEnd();
        if (end || IsLineEnd(c)) {
            if (!overlong) {
                ApplyLine(line, loaded);
            }
            line.clear();
            overlong = false;
            if (end) {
                break;
            }
        } else if (line.size() == kMaxKeyFileLine) {
            // The rest of an over-long line is no line of its own.
            overlong = true;
        } else if (!overlong) {
            line += static_cast<char>(c);
        }
    }
    if (in.Failed()) {
        return false;
    }
    bindings = std::move(loaded);
    return true;
}

bool LoadKeyBindings(const std::filesystem::path& settingsFile, const EditorOptions& options,
                     KeyBindings& bindings) {
    if (options.keyDefinition.empty()) {
        return false;
    }
    return LoadKeyFile(KeyFilePath(settingsFile, options.keyDefinition), bindings);
}

bool LoadKeyBindings(const EditorOptions& options, KeyBindings& bindings) {
    return LoadKeyBindings(EditorFilePath(kSettingsExtension), options, bindings);
}

}  // namespace corvina
