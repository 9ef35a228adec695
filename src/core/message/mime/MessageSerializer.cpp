#include <cstdio>

#include "common/Bytes.h"
#include "message/mime/MessageParser.h"
#include "message/MailMessage.h"

namespace corvina {

namespace {

// The copy is read back trusting its store lines, so a line break inside
// a value must not start a line of its own: it is written as a blank.
void AddLine(std::string& out, std::string_view name, std::string_view value) {
    out.append(name);
    for (char c : value) {
        out += c == '\r' || c == '\n' ? ' ' : c;
    }
    out += '\n';
}

void AddIfSet(std::string& out, std::string_view name, std::string_view value) {
    if (!value.empty()) {
        AddLine(out, name, value);
    }
}

}  // namespace

std::string SerializeMessage(const MailMessage& m, const std::filesystem::path& mailboxDirectory) {
    std::string out;
    AddLine(out, "From:", m.from);
    AddLine(out, "To:", m.to);
    AddIfSet(out, "Cc:", m.cc);
    AddIfSet(out, "Bcc:", m.bcc);
    AddIfSet(out, "Resent-From:", m.resentFrom);
    AddIfSet(out, "Resent-To:", m.resentTo);
    AddIfSet(out, "Resent-Cc:", m.resentCc);
    AddIfSet(out, "Resent-Bcc:", m.resentBcc);
    AddIfSet(out, "Resent-Date:", m.resentDate);
    AddLine(out, "Subject:", m.subject);
    AddIfSet(out, "Date:", m.date);
    if (m.priority != 0) {
        AddLine(out, "X-Priority:", std::to_string(m.priority));
    }
    std::string status = m.status;
    if (m.read && status.find('R') == std::string::npos) {
        status = "R" + status;
    }
    AddIfSet(out, "Status:", status);
    for (const std::string& line : m.otherHeaders) {
        AddLine(out, "", line);
    }
    for (const AttachmentEntry& a : m.attachments) {
        AddLine(out, "X-Marlo-Attachment-File:", AttachmentLinkValue(a.path, mailboxDirectory));
    }
    if (m.decoded) {
        out += "X-Marlo-Decorded:1\n";
    }
    if (m.replied) {
        out += "X-Marlo-Reply:1\n";
    }
    if (m.encoding != 0) {
        AddLine(out, "X-Marlo-Encoding:", std::to_string(m.encoding));
    }
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
