#include <cstdio>

#include "common/Bytes.h"
#include "message/MailMessage.h"
#include "message/StoredForm.h"
#include "message/mime/MessageParser.h"

namespace corvina {

std::string SerializeMessage(const MailMessage& m, const std::filesystem::path& mailboxDirectory) {
    std::string out;
    AppendStoredHeader(m, mailboxDirectory, out);
    out += '\n';
    for (const MessageLine& line : m.bodyLines) {
        std::string_view text = line.Text();
        // ParseMessage takes one dot from "..": stuff what it would change.
        if (text == ".\n" || (text.size() >= 2 && text[0] == '.' && text[1] == '.')) {
            out += '.';
        }
        out.append(text);
    }
    out += ".\n";
    return out;
}

std::vector<std::string> DecodeFormData(std::string_view body) {
    auto isControl = [](char c) { return static_cast<unsigned char>(c) < 0x20; };

    std::vector<std::string> lines;
    std::string current;
    const std::size_t n = body.size();
    for (std::size_t i = 0; i < n; ++i) {
        const char c = body[i];
        if (c == '%') {
            // Two hex digits, control bytes between them skipped.
            std::size_t j = i + 1;
            int digits[2];
            int got = 0;
            while (j < n && got < 2) {
                if (isControl(body[j])) {
                    ++j;
                    continue;
                }
                int v = HexDigitValue(body[j]);
                if (v < 0) {
                    break;
                }
                digits[got++] = v;
                ++j;
            }
            if (got == 2) {
                char byte = static_cast<char>(digits[0] * 16 + digits[1]);
                i = j - 1;
                if (byte == '\n' && !current.empty() && current.back() == '\r') {
                    current.pop_back();
                    lines.push_back(std::move(current));
                    current.clear();
                } else {
                    current += byte;
                }
                continue;
            }
            current += c;
        } else if (c == '+') {
            current += ' ';
        } else if (c == '=') {
            lines.push_back(current + ":");
            current.clear();
        } else if (c == '&') {
            lines.push_back(std::move(current));
            current.clear();
            lines.emplace_back();
        } else if (c == '.' && i > 0 && i + 1 < n && isControl(body[i - 1]) &&
                   isControl(body[i + 1])) {
            // A "." line of the transport form: dropped.
        } else if (static_cast<unsigned char>(c) >= '!') {
            current += c;
        }
    }
    if (!current.empty()) {
        lines.push_back(std::move(current));
        lines.emplace_back();
    }
    return lines;
}

}  // namespace corvina
