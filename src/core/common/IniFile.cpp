#include "common/IniFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "common/AtomicFile.h"
#include "common/Bytes.h"

namespace corvina {
namespace {

enum class ReadResult { Ok, Missing, Error };

ReadResult ReadWholeFile(const std::filesystem::path& path, std::string& out) {
    out.clear();
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        return errno == ENOENT || errno == ENOTDIR ? ReadResult::Missing : ReadResult::Error;
    }
    char chunk[8192];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            ::close(fd);
            return ReadResult::Error;
        }
        if (n == 0) {
            break;
        }
        out.append(chunk, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return ReadResult::Ok;
}

enum class LineKind { Other, Section, Key };

struct ParsedLine {
    LineKind kind = LineKind::Other;
    std::string_view name;   // section or key name
    std::string_view value;  // key lines: the value as read
};

ParsedLine ParseLine(std::string_view line) {
    ParsedLine parsed;
    std::string_view text = Trim(line);
    if (text.empty() || text[0] == ';') {
        return parsed;
    }
    if (text[0] == '[') {
        const std::size_t close = text.find(']');
        parsed.kind = LineKind::Section;
        parsed.name =
            Trim(text.substr(1, close == std::string_view::npos ? text.size() - 1 : close - 1));
        return parsed;
    }
    const std::size_t eq = text.find('=');
    if (eq == std::string_view::npos) {
        return parsed;
    }
    parsed.kind = LineKind::Key;
    parsed.name = TrimRight(text.substr(0, eq));
    std::string_view value = Trim(text.substr(eq + 1));
    if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0]) {
        value = value.substr(1, value.size() - 2);
    }
    parsed.value = value;
    return parsed;
}

// Calls visit(line) for every line of text (line ends removed), a UTF-8
// byte-order mark before the first line ignored.
template <typename Visit>
void ForEachLine(std::string_view text, Visit&& visit) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") {
        text.remove_prefix(3);
    }
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t nl = text.find('\n', start);
        const std::size_t stop = nl == std::string_view::npos ? text.size() : nl;
        std::string_view line = text.substr(start, stop - start);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (!visit(line)) {
            return;
        }
        start = stop + 1;
    }
}

// The value of a key in text without building any structure.
bool FindValue(std::string_view text, std::string_view section, std::string_view key,
               std::string_view& value) {
    bool inSection = false;
    bool found = false;
    ForEachLine(text, [&](std::string_view line) {
        const ParsedLine parsed = ParseLine(line);
        if (parsed.kind == LineKind::Section) {
            inSection = EqualNoCase(parsed.name, section);
        } else if (inSection && parsed.kind == LineKind::Key && EqualNoCase(parsed.name, key)) {
            value = parsed.value;
            found = true;
            return false;
        }
        return true;
    });
    return found;
}

std::string OneLine(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c == '\r' || c == '\n') {
            c = ' ';
        }
    }
    return out;
}

// Windows integer reading of a value that exists.
int ValueToInt(std::string_view value, int defaultValue) {
    if (value.empty()) {
        return defaultValue;
    }
    return AtoI(value);
}

}  // namespace

bool IniFile::Load(const std::filesystem::path& path) {
    lines_.clear();
    std::string text;
    if (ReadWholeFile(path, text) != ReadResult::Ok) {
        return false;
    }
    *this = FromText(text);
    return true;
}

IniFile IniFile::FromText(std::string_view text) {
    IniFile file;
    // A byte-order mark is not part of the first line.
    if (text.substr(0, 3) == "\xEF\xBB\xBF") {
        text.remove_prefix(3);
    }
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t nl = text.find('\n', start);
        const std::size_t stop = nl == std::string_view::npos ? text.size() : nl;
        std::string_view line = text.substr(start, stop - start);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        file.lines_.emplace_back(line);
        start = stop + 1;
    }
    return file;
}

long IniFile::FindKey(std::string_view section, std::string_view key) const {
    bool inSection = false;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const ParsedLine parsed = ParseLine(lines_[i]);
        if (parsed.kind == LineKind::Section) {
            inSection = EqualNoCase(parsed.name, section);
        } else if (inSection && parsed.kind == LineKind::Key && EqualNoCase(parsed.name, key)) {
            return static_cast<long>(i);
        }
    }
    return -1;
}

std::optional<std::string> IniFile::Get(std::string_view section, std::string_view key) const {
    const long i = FindKey(section, key);
    if (i < 0) {
        return std::nullopt;
    }
    return std::string(ParseLine(lines_[static_cast<std::size_t>(i)]).value);
}

std::string IniFile::GetString(std::string_view section, std::string_view key,
                               std::string_view defaultValue) const {
    std::optional<std::string> value = Get(section, key);
    return value ? *value : std::string(defaultValue);
}

int IniFile::GetInt(std::string_view section, std::string_view key, int defaultValue) const {
    std::optional<std::string> value = Get(section, key);
    return value ? ValueToInt(*value, defaultValue) : defaultValue;
}

void IniFile::Set(std::string_view section, std::string_view key, std::string_view value) {
    const std::string cleanKey = OneLine(Trim(key));
    const std::string cleanValue = OneLine(value);
    const long found = FindKey(section, cleanKey);
    if (found >= 0) {
        std::string& line = lines_[static_cast<std::size_t>(found)];
        // Keep the spelling and indentation of the existing key.
        line.resize(line.find('='));
        line += '=';
        line += cleanValue;
        return;
    }
    const std::string newLine = cleanKey + "=" + cleanValue;
    // After the last non-blank line of the first section of that name.
    long insertAt = -1;
    bool inSection = false;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const ParsedLine parsed = ParseLine(lines_[i]);
        if (parsed.kind == LineKind::Section) {
            if (inSection) {
                break;
            }
            inSection = EqualNoCase(parsed.name, section);
            if (inSection) {
                insertAt = static_cast<long>(i) + 1;
            }
        } else if (inSection && !Trim(lines_[i]).empty()) {
            insertAt = static_cast<long>(i) + 1;
        }
    }
    if (insertAt >= 0) {
        lines_.insert(lines_.begin() + insertAt, newLine);
        return;
    }
    if (!lines_.empty() && !Trim(lines_.back()).empty()) {
        lines_.emplace_back();
    }
    lines_.push_back("[" + OneLine(section) + "]");
    lines_.push_back(newLine);
}

bool IniFile::RemoveKey(std::string_view section, std::string_view key) {
    bool removed = false;
    for (long i; (i = FindKey(section, key)) >= 0;) {
        lines_.erase(lines_.begin() + i);
        removed = true;
    }
    return removed;
}

bool IniFile::RemoveSection(std::string_view section) {
    bool removed = false;
    bool inSection = false;
    std::vector<std::string> kept;
    kept.reserve(lines_.size());
    for (std::string& line : lines_) {
        const ParsedLine parsed = ParseLine(line);
        if (parsed.kind == LineKind::Section) {
            inSection = EqualNoCase(parsed.name, section);
            removed = removed || inSection;
        }
        if (!inSection) {
            kept.push_back(std::move(line));
        }
    }
    lines_ = std::move(kept);
    return removed;
}

bool IniFile::HasSection(std::string_view section) const {
    for (const std::string& line : lines_) {
        const ParsedLine parsed = ParseLine(line);
        if (parsed.kind == LineKind::Section && EqualNoCase(parsed.name, section)) {
            return true;
        }
    }
    return false;
}

std::vector<std::string> IniFile::Sections() const {
    std::vector<std::string> names;
    for (const std::string& line : lines_) {
        const ParsedLine parsed = ParseLine(line);
        if (parsed.kind != LineKind::Section) {
            continue;
        }
        bool seen = false;
        for (const std::string& name : names) {
            seen = seen || EqualNoCase(name, parsed.name);
        }
        if (!seen) {
            names.emplace_back(parsed.name);
        }
    }
    return names;
}

std::vector<std::string> IniFile::Keys(std::string_view section) const {
    std::vector<std::string> names;
    bool inSection = false;
    for (const std::string& line : lines_) {
        const ParsedLine parsed = ParseLine(line);
        if (parsed.kind == LineKind::Section) {
            inSection = EqualNoCase(parsed.name, section);
        } else if (inSection && parsed.kind == LineKind::Key) {
            bool seen = false;
            for (const std::string& name : names) {
                seen = seen || EqualNoCase(name, parsed.name);
            }
            if (!seen) {
                names.emplace_back(parsed.name);
            }
        }
    }
    return names;
}

std::string IniFile::Text() const {
    std::string text;
    std::size_t total = 0;
    for (const std::string& line : lines_) {
        total += line.size() + 2;
    }
    text.reserve(total);
    for (const std::string& line : lines_) {
        text += line;
        text += "\r\n";
    }
    return text;
}

bool IniFile::Save(const std::filesystem::path& path) const {
    return WriteFileAtomically(path, Text(), kKeepFileMode);
}

int GetPrivateProfileString(std::string_view section, std::string_view key,
                            std::string_view defaultValue, char* out, int size,
                            const std::filesystem::path& file) {
    if (out == nullptr || size <= 0) {
        return 0;
    }
    std::string text;
    std::string_view value = defaultValue;
    if (ReadWholeFile(file, text) == ReadResult::Ok) {
        FindValue(text, section, key, value);
    }
    const std::size_t n =
        value.size() < static_cast<std::size_t>(size) - 1 ? value.size() : size - 1;
    std::memcpy(out, value.data(), n);
    out[n] = '\0';
    return static_cast<int>(n);
}

std::string GetPrivateProfileString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue,
                                    const std::filesystem::path& file, int size) {
    std::string text;
    std::string_view value = defaultValue;
    if (ReadWholeFile(file, text) == ReadResult::Ok) {
        FindValue(text, section, key, value);
    }
    if (size > 0 && value.size() > static_cast<std::size_t>(size) - 1) {
        value = value.substr(0, static_cast<std::size_t>(size) - 1);
    }
    return std::string(value);
}

int GetPrivateProfileInt(std::string_view section, std::string_view key, int defaultValue,
                         const std::filesystem::path& file) {
    std::string text;
    std::string_view value;
    if (ReadWholeFile(file, text) != ReadResult::Ok || !FindValue(text, section, key, value)) {
        return defaultValue;
    }
    return ValueToInt(value, defaultValue);
}

bool WritePrivateProfileString(std::string_view section, std::string_view key,
                               std::optional<std::string_view> value,
                               const std::filesystem::path& file) {
    std::string text;
    const ReadResult read = ReadWholeFile(file, text);
    if (read == ReadResult::Error) {
        return false;  // never replace a file we could not read
    }
    IniFile ini = IniFile::FromText(text);
    if (value) {
        ini.Set(section, key, *value);
    } else if (!ini.RemoveKey(section, key)) {
        return true;
    }
    const std::string newText = ini.Text();
    if (read == ReadResult::Ok && newText == text) {
        return true;
    }
    return WriteFileAtomically(file, newText, kKeepFileMode);
}

bool DeletePrivateProfileSection(std::string_view section, const std::filesystem::path& file) {
    std::string text;
    const ReadResult read = ReadWholeFile(file, text);
    if (read == ReadResult::Error) {
        return false;
    }
    if (read == ReadResult::Missing) {
        return true;
    }
    IniFile ini = IniFile::FromText(text);
    if (!ini.RemoveSection(section)) {
        return true;
    }
    return WriteFileAtomically(file, ini.Text(), kKeepFileMode);
}

}  // namespace corvina
