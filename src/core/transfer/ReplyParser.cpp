#include "transfer/ReplyParser.h"

#include <cctype>

namespace corvina {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::optional<long long> ParseDecimal(std::string_view text) {
    if (text.empty() || text.size() > 18) {
        return std::nullopt;
    }
    long long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
    }
    return value;
}

std::string_view NextToken(std::string_view& text) {
    size_t start = 0;
    while (start < text.size() &&
           (IsBlank(text[start]) || text[start] == '\r' || text[start] == '\n')) {
        ++start;
    }
    size_t end = start;
    while (end < text.size() && !IsBlank(text[end]) && text[end] != '\r' && text[end] != '\n') {
        ++end;
    }
    std::string_view token = text.substr(start, end - start);
    text.remove_prefix(end);
    return token;
}

std::string Upper(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return out;
}

}  // namespace

bool PopPositive(std::string_view reply) {
    return reply.size() >= 3 && reply[0] == '+' && (reply[1] == 'O' || reply[1] == 'o') &&
           (reply[2] == 'K' || reply[2] == 'k') && (reply.size() == 3 || IsBlank(reply[3]));
}

std::optional<StatReply> ParseStat(std::string_view reply) {
    if (!PopPositive(reply)) {
        return std::nullopt;
    }
    NextToken(reply);
    std::optional<long long> count = ParseDecimal(NextToken(reply));
    std::optional<long long> size = ParseDecimal(NextToken(reply));
    if (!count || !size) {
        return std::nullopt;
    }
    return StatReply{*count, *size};
}

std::optional<long long> ParseStatCount(std::string_view reply) {
    NextToken(reply);
    return ParseDecimal(NextToken(reply));
}

std::optional<ListEntry> ParseListLine(std::string_view line) {
    std::string_view numberText = NextToken(line);
    std::optional<long long> number = ParseDecimal(numberText);
    if (!number || *number <= 0 || *number > 0x7fffffff) {
        return std::nullopt;
    }
    ListEntry entry;
    entry.number = static_cast<int>(*number);
    std::optional<long long> size = ParseDecimal(NextToken(line));
    if (!size) {
        return std::nullopt;
    }
    entry.size = *size;
    return entry;
}

std::optional<std::string> ParseUidlLine(std::string_view line) {
    size_t blank = line.find(' ');
    if (blank == std::string_view::npos) {
        return std::nullopt;
    }
    std::string_view rest = line.substr(blank + 1);
    size_t end = rest.find_first_of("\r\n");
    if (end != std::string_view::npos) {
        rest = rest.substr(0, end);
    }
    bool allBlank = true;
    for (char c : line) {
        if (!IsBlank(c)) {
            allBlank = false;
            break;
        }
    }
    if (allBlank) {
        return std::nullopt;
    }
    return std::string(rest);
}

std::optional<std::string_view> HeaderValue(std::string_view line, std::string_view name) {
    if (line.size() < name.size()) {
        return std::nullopt;
    }
    for (size_t i = 0; i < name.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(line[i])) !=
            std::tolower(static_cast<unsigned char>(name[i]))) {
            return std::nullopt;
        }
    }
    std::string_view rest = line.substr(name.size());
    while (!rest.empty() && IsBlank(rest.front())) {
        rest.remove_prefix(1);
    }
    return rest;
}

std::optional<std::string> UnfoldedField(std::string_view header, std::string_view name,
                                         size_t max) {
    while (!header.empty()) {
        const size_t end = header.find('\n');
        std::string_view line = header.substr(0, end);
        header = end == std::string_view::npos ? std::string_view() : header.substr(end + 1);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (line.empty()) {
            break;
        }
        if (std::optional<std::string_view> value = HeaderValue(line, name)) {
            while (!value->empty() && IsBlank(value->back())) {
                value->remove_suffix(1);
            }
            return std::string(value->substr(0, max));
        }
    }
    return std::nullopt;
}

int SmtpCode(std::string_view line) {
    if (line.size() < 3) {
        return -1;
    }
    for (int i = 0; i < 3; ++i) {
        if (line[i] < '0' || line[i] > '9') {
            return -1;
        }
    }
    if (line.size() > 3 && line[3] != ' ' && line[3] != '-') {
        return -1;
    }
    return (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
}

bool SmtpContinues(std::string_view line) {
    return line.size() > 3 && line[3] == '-';
}

std::string SmtpCapabilityLine(std::string_view line) {
    if (SmtpCode(line) < 0 || line.size() <= 4) {
        return {};
    }
    return Upper(line.substr(4));
}

bool HasCapability(const std::vector<std::string>& capabilities, std::string_view keyword) {
    std::string wanted = Upper(keyword);
    for (const std::string& line : capabilities) {
        std::string_view rest = line;
        if (NextToken(rest) == wanted) {
            return true;
        }
    }
    return false;
}

bool OffersAuth(const std::vector<std::string>& capabilities, std::string_view mechanism) {
    std::string wanted = Upper(mechanism);
    for (const std::string& line : capabilities) {
        std::string_view rest = line;
        std::string_view key = NextToken(rest);
        // Some servers still announce "AUTH=PLAIN LOGIN".
        if (key.substr(0, 5) == "AUTH=") {
            if (key.substr(5) == wanted) {
                return true;
            }
        } else if (key != "AUTH") {
            continue;
        }
        for (std::string_view word = NextToken(rest); !word.empty(); word = NextToken(rest)) {
            if (word == wanted) {
                return true;
            }
        }
    }
    return false;
}

}  // namespace corvina
