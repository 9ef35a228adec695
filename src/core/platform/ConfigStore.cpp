#include "platform/ConfigStore.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <unordered_set>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/Bytes.h"
#include "common/AtomicFile.h"
#include "platform/Paths.h"

namespace corvina {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// Blanks and tabs only: other control bytes belong to the value.
std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && IsBlank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

// name lies below key: "MimeType\image/jpeg" below "MimeType". Yields the
// rest after the separator.
bool BelowKey(std::string_view name, std::string_view key, std::string_view& rest) {
    if (name.size() <= key.size() + 1 || name[key.size()] != '\\' ||
        !EqualNoCase(name.substr(0, key.size()), key)) {
        return false;
    }
    rest = name.substr(key.size() + 1);
    return true;
}

bool HasLineBreakOrNul(std::string_view s) {
    return s.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

bool ValidSectionName(std::string_view s) {
    return !s.empty() && !HasLineBreakOrNul(s) && s.find(']') == std::string_view::npos &&
           !IsBlank(s.front()) && !IsBlank(s.back());
}

bool ValidValueName(std::string_view s) {
    return !s.empty() && !HasLineBreakOrNul(s) && s.find('=') == std::string_view::npos &&
           s.front() != '[' && s.front() != ';' && s.front() != '#' && !IsBlank(s.front()) &&
           !IsBlank(s.back());
}

bool IsControl(unsigned char c) {
    return (c < 0x20 && c != '\t') || c == 0x7F;
}

bool NeedsQuoting(std::string_view v) {
    if (v.empty()) {
        return false;
    }
    if (IsBlank(v.front()) || IsBlank(v.back()) || v.front() == '"') {
        return true;
    }
    for (char c : v) {
        if (IsControl(static_cast<unsigned char>(c))) {
            return true;
        }
    }
    return false;
}

std::string EncodeValue(std::string_view v) {
    if (!NeedsQuoting(v)) {
        return std::string(v);
    }
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(v.size() + 8);
    out += '"';
    for (char c : v) {
        const auto u = static_cast<unsigned char>(c);
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '"':
                out += "\\\"";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (IsControl(u)) {
                    out += "\\x";
                    out += kHex[u >> 4];
                    out += kHex[u & 0xF];
                } else {
                    out += c;
                }
        }
    }
    out += '"';
    return out;
}

std::string DecodeValue(std::string_view v) {
    if (v.size() < 2 || v.front() != '"' || v.back() != '"') {
        return std::string(v);
    }
    v = v.substr(1, v.size() - 2);
    std::string out;
    out.reserve(v.size());
    for (std::size_t i = 0; i < v.size(); ++i) {
        if (v[i] != '\\' || i + 1 >= v.size()) {
            out += v[i];
            continue;
        }
        const char next = v[i + 1];
        switch (next) {
            case '\\':
                out += '\\';
                ++i;
                break;
            case '"':
                out += '"';
                ++i;
                break;
            case 'r':
                out += '\r';
                ++i;
                break;
            case 'n':
                out += '\n';
                ++i;
                break;
            case 't':
                out += '\t';
                ++i;
                break;
            case 'x': {
                const int hi = i + 2 < v.size() ? HexDigitValue(v[i + 2]) : -1;
                const int lo = i + 3 < v.size() ? HexDigitValue(v[i + 3]) : -1;
                if (hi >= 0 && lo >= 0) {
                    out += static_cast<char>(hi * 16 + lo);
                    i += 3;
                } else {
                    out += '\\';  // not an escape: kept as written
                }
                break;
            }
            default:
                out += '\\';
                break;  // unknown escape: kept as written
        }
    }
    return out;
}

// Decimal with an optional sign, or "0x" hex; the unsigned 32-bit range
// wraps to int as a registry DWORD does.
std::optional<int> ParseInt(std::string_view s) {
    s = TrimBlanks(s);
    bool negative = false;
    if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    int base = 10;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        base = 16;
        s.remove_prefix(2);
    }
    if (s.empty()) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (char c : s) {
        const int d = base == 16 ? HexDigitValue(c) : (c >= '0' && c <= '9' ? c - '0' : -1);
        if (d < 0) {
            return std::nullopt;
        }
        value = value * static_cast<unsigned>(base) + static_cast<unsigned>(d);
        if (value > 0xFFFFFFFFull) {
            return std::nullopt;
        }
    }
    if (negative) {
        if (value > 0x80000000ull) {
            return std::nullopt;
        }
        return static_cast<int>(-static_cast<std::int64_t>(value));
    }
    return static_cast<int>(static_cast<std::uint32_t>(value));
}

std::string FormatEntry(std::string_view key, std::string_view value) {
    std::string line(key);
    line += '=';
    line += EncodeValue(value);
    return line;
}

enum class ReadResult { kOk, kMissing, kFailed };

ReadResult ReadWholeFile(const std::filesystem::path& path, std::string& out) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return errno == ENOENT ? ReadResult::kMissing : ReadResult::kFailed;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        static_cast<std::uint64_t>(st.st_size) > ConfigStore::kMaxFileSize) {
        close(fd);
        return ReadResult::kFailed;
    }
    out.clear();
    char buf[65536];
    for (;;) {
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 || out.size() + static_cast<std::size_t>(n) > ConfigStore::kMaxFileSize) {
            close(fd);
            out.clear();
            return ReadResult::kFailed;
        }
        if (n == 0) {
            break;
        }
        out.append(buf, static_cast<std::size_t>(n));
    }
    close(fd);
    return ReadResult::kOk;
}

std::filesystem::path FromEnv(const char* name) {
    const char* v = std::getenv(name);
    return (v != nullptr && *v != '\0') ? std::filesystem::path(v) : std::filesystem::path();
}

}  // namespace

ConfigStore::ConfigStore(std::filesystem::path file) : path_(std::move(file)) {}

std::filesystem::path ConfigStore::DefaultPath() {
    if (auto explicitPath = FromEnv("CORVINA_CONFIG"); !explicitPath.empty()) {
        return explicitPath;
    }
    std::filesystem::path base = FromEnv("XDG_CONFIG_HOME");
    if (base.empty() || !base.is_absolute()) {
        base = UserHomeDir() / ".config";
    }
    return base / "Talvern" / "Corvina.ini";
}

bool ConfigStore::Load() {
    std::string text;
    switch (ReadWholeFile(path_, text)) {
        case ReadResult::kOk:
            LoadFromText(text);
            return true;
        case ReadResult::kMissing:
            LoadFromText({});
            return true;
        case ReadResult::kFailed:
            break;
    }
    LoadFromText({});
    loadFailed_ = true;
    return false;
}

void ConfigStore::LoadFromText(std::string_view text) {
    preamble_.clear();
    sections_.clear();
    index_.clear();
    modified_ = false;
    loadFailed_ = false;
    crLf_ = false;

    Section* current = nullptr;
    bool firstLine = true;
    while (!text.empty()) {
        const std::size_t lf = text.find('\n');
        std::string_view line = text.substr(0, lf);
        text = lf == std::string_view::npos ? std::string_view() : text.substr(lf + 1);
        // Every CR before the line end goes: one left at the end of a raw
        // line would turn into a different line when written back.
        if (!line.empty() && line.back() == '\r') {
            if (firstLine) {
                crLf_ = true;
            }
            while (!line.empty() && line.back() == '\r') {
                line.remove_suffix(1);
            }
        }
        std::string_view content = line;
        if (firstLine && content.substr(0, 3) == "\xEF\xBB\xBF") {
            content.remove_prefix(3);  // a byte-order mark left by an editor
        }
        firstLine = false;

        Line item;
        item.raw = std::string(line);
        const std::string_view trimmed = TrimBlanks(content);
        if (!trimmed.empty() && trimmed.front() == '[') {
            const std::size_t close = trimmed.find(']');
            if (close != std::string_view::npos) {
                const std::string_view name = TrimBlanks(trimmed.substr(1, close - 1));
                if (!name.empty()) {
                    current = FindSection(name);
                    if (current == nullptr) {
                        current = &AddSection(name, std::string(line));
                    }
                    continue;
                }
            }
        } else if (!trimmed.empty() && trimmed.front() != ';' && trimmed.front() != '#' &&
                   current != nullptr) {
            const std::size_t eq = trimmed.find('=');
            if (eq != std::string_view::npos) {
                const std::string_view key = TrimBlanks(trimmed.substr(0, eq));
                if (!key.empty()) {
                    item.isEntry = true;
                    item.key = std::string(key);
                    item.value = DecodeValue(TrimBlanks(trimmed.substr(eq + 1)));
                }
            }
        }
        item.keepRaw = true;
        (current != nullptr ? current->lines : preamble_).push_back(std::move(item));
    }
}

std::string ConfigStore::ToText() const {
    const std::string_view eol = crLf_ ? "\r\n" : "\n";
    std::string out;
    auto emit = [&](const Line& line) {
        if (line.keepRaw) {
            out += line.raw;
        } else {
            out += FormatEntry(line.key, line.value);
        }
        out += eol;
    };
    for (const Line& line : preamble_) {
        emit(line);
    }
    for (const Section& section : sections_) {
        out += section.headerRaw;
        out += eol;
        for (const Line& line : section.lines) {
            emit(line);
        }
    }
    return out;
}

bool ConfigStore::Save() {
    if (path_.empty() || loadFailed_) {
        return false;
    }
    if (!modified_) {
        return true;
    }
    // A linked file stays linked: the file it names is replaced.
    std::error_code ec;
    std::filesystem::path target = path_;
    if (std::filesystem::is_symlink(target, ec)) {
        target = std::filesystem::weakly_canonical(target, ec);
        if (ec) {
            return false;
        }
    }
    if (target.has_parent_path() && !CreateDirectoryPath(target.parent_path(), 0700)) {
        return false;
    }
    if (!WriteFileAtomically(target, ToText(), 0600)) {
        return false;
    }
    modified_ = false;
    return true;
}

ConfigStore::Section* ConfigStore::FindSection(std::string_view name) {
    const auto it = index_.find(ToLowerAscii(name));
    return it != index_.end() ? &sections_[it->second] : nullptr;
}

ConfigStore::Section& ConfigStore::AddSection(std::string_view name, std::string headerRaw) {
    index_.emplace(ToLowerAscii(name), sections_.size());
    sections_.push_back(Section{std::string(name), std::move(headerRaw), {}});
    return sections_.back();
}

void ConfigStore::RebuildIndex() {
    index_.clear();
    for (std::size_t i = 0; i < sections_.size(); ++i) {
        index_.emplace(ToLowerAscii(sections_[i].name), i);
    }
}

const ConfigStore::Section* ConfigStore::FindSection(std::string_view name) const {
    return const_cast<ConfigStore*>(this)->FindSection(name);
}

const ConfigStore::Line* ConfigStore::FindEntry(std::string_view section,
                                                std::string_view key) const {
    const Section* s = FindSection(section);
    if (s == nullptr) {
        return nullptr;
    }
    for (auto it = s->lines.rbegin(); it != s->lines.rend(); ++it) {
        if (it->isEntry && EqualNoCase(it->key, key)) {
            return &*it;
        }
    }
    return nullptr;
}

int ConfigStore::GetInt(std::string_view section, std::string_view key, int defaultValue) const {
    const Line* entry = FindEntry(section, key);
    if (entry == nullptr) {
        return defaultValue;
    }
    return ParseInt(entry->value).value_or(defaultValue);
}

std::string ConfigStore::GetString(std::string_view section, std::string_view key,
                                   std::string_view defaultValue) const {
    const Line* entry = FindEntry(section, key);
    return entry != nullptr ? entry->value : std::string(defaultValue);
}

std::optional<std::string> ConfigStore::FindValue(std::string_view section,
                                                  std::string_view key) const {
    const Line* entry = FindEntry(section, key);
    if (entry == nullptr) {
        return std::nullopt;
    }
    return entry->value;
}

bool ConfigStore::HasValue(std::string_view section, std::string_view key) const {
    return FindEntry(section, key) != nullptr;
}

bool ConfigStore::HasKey(std::string_view section) const {
    if (FindSection(section) != nullptr) {
        return true;
    }
    std::string_view rest;
    for (const Section& s : sections_) {
        if (BelowKey(s.name, section, rest)) {
            return true;
        }
    }
    return false;
}

bool ConfigStore::SetInt(std::string_view section, std::string_view key, int value) {
    return StoreValue(section, key, std::to_string(value), true);
}

bool ConfigStore::SetString(std::string_view section, std::string_view key,
                            std::string_view value) {
    return StoreValue(section, key, std::string(value), false);
}

bool ConfigStore::StoreValue(std::string_view section, std::string_view key, std::string value,
                             bool asInt) {
    if (!ValidSectionName(section) || !ValidValueName(key)) {
        return false;
    }
    Section* s = FindSection(section);
    if (s == nullptr) {
        // A blank line between sections, as people write them.
        std::vector<Line>& last = sections_.empty() ? preamble_ : sections_.back().lines;
        const bool followsText = !sections_.empty() || !preamble_.empty();
        if (followsText &&
            (last.empty() || !TrimBlanks(last.back().raw).empty() || !last.back().keepRaw)) {
            Line blank;
            blank.keepRaw = true;
            last.push_back(std::move(blank));
        }
        s = &AddSection(section, "[" + std::string(section) + "]");
    }
    for (auto it = s->lines.rbegin(); it != s->lines.rend(); ++it) {
        if (!it->isEntry || !EqualNoCase(it->key, key)) {
            continue;
        }
        // An integer that reads back as the same number ("0x10" for 16)
        // is left as written.
        const bool same = asInt ? ParseInt(it->value) == ParseInt(value) : it->value == value;
        if (same) {
            return true;
        }
        it->value = std::move(value);
        it->keepRaw = false;
        modified_ = true;
        return true;
    }
    // A new value goes after the section's last entry, ahead of the blank
    // lines and comments that separate it from the next section.
    std::size_t pos = s->lines.size();
    while (pos > 0 && !s->lines[pos - 1].isEntry) {
        --pos;
    }
    if (pos == 0) {
        pos = s->lines.size();
        while (pos > 0 && TrimBlanks(s->lines[pos - 1].raw).empty()) {
            --pos;
        }
    }
    Line entry;
    entry.isEntry = true;
    entry.key = std::string(key);
    entry.value = std::move(value);
    s->lines.insert(s->lines.begin() + static_cast<std::ptrdiff_t>(pos), std::move(entry));
    modified_ = true;
    return true;
}

bool ConfigStore::DeleteValue(std::string_view section, std::string_view key) {
    Section* s = FindSection(section);
    if (s == nullptr) {
        return false;
    }
    const auto before = s->lines.size();
    std::erase_if(s->lines,
                  [&](const Line& line) { return line.isEntry && EqualNoCase(line.key, key); });
    if (s->lines.size() == before) {
        return false;
    }
    modified_ = true;
    return true;
}

bool ConfigStore::DeleteKey(std::string_view key) {
    if (key.empty()) {
        return false;
    }
    std::string_view rest;
    const auto before = sections_.size();
    std::erase_if(sections_, [&](const Section& s) {
        return EqualNoCase(s.name, key) || BelowKey(s.name, key, rest);
    });
    if (sections_.size() == before) {
        return false;
    }
    RebuildIndex();
    modified_ = true;
    return true;
}

std::vector<std::string> ConfigStore::SubKeys(std::string_view key) const {
    std::vector<std::string> names;
    std::unordered_set<std::string> seen;
    for (const Section& s : sections_) {
        std::string_view rest;
        if (key.empty()) {
            rest = s.name;
        } else if (!BelowKey(s.name, key, rest)) {
            continue;
        }
        rest = rest.substr(0, rest.find('\\'));
        if (!rest.empty() && seen.insert(ToLowerAscii(rest)).second) {
            names.emplace_back(rest);
        }
    }
    return names;
}

std::vector<std::string> ConfigStore::ValueNames(std::string_view section) const {
    std::vector<std::string> names;
    std::unordered_set<std::string> seen;
    const Section* s = FindSection(section);
    if (s == nullptr) {
        return names;
    }
    for (const Line& line : s->lines) {
        if (line.isEntry && seen.insert(ToLowerAscii(line.key)).second) {
            names.push_back(line.key);
        }
    }
    return names;
}

}  // namespace corvina
