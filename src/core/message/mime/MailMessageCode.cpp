#include "message/mime/MailMessageCode.h"

#include <charconv>

#include "message/MailMessage.h"

namespace corvina {

namespace {

// The copy is a run of length-prefixed strings ("<length>:<bytes>"): the
// four fields, then the body lines.
void AppendCounted(std::string& out, std::string_view text) {
    out += std::to_string(text.size());
    out += ':';
    out += text;
}

bool TakeCounted(std::string_view& in, std::string& out) {
    const std::size_t colon = in.find(':');
    if (colon == std::string_view::npos) {
        return false;
    }
    std::size_t length = 0;
    const auto [end, ec] = std::from_chars(in.data(), in.data() + colon, length);
    if (ec != std::errc() || end != in.data() + colon || length > in.size() - colon - 1) {
        return false;
    }
    out.assign(in.substr(colon + 1, length));
    in.remove_prefix(colon + 1 + length);
    return true;
}

}  // namespace

MailMessageConversion::MailMessageConversion(const MailMessage& message)
    : fields_{message.from, message.to, message.cc, message.subject} {
    lines_.reserve(message.bodyLines.size());
    for (const MessageLine& line : message.bodyLines) {
        lines_.emplace_back(line.Content());
    }
}

std::string MailMessageConversion::Serialize() const {
    std::string out;
    for (const std::string& field : fields_) {
        AppendCounted(out, field);
    }
    for (const std::string& line : lines_) {
        AppendCounted(out, line);
    }
    return out;
}

bool MailMessageConversion::Restore(std::string_view copy) {
    std::string fields[4];
    for (std::string& field : fields) {
        if (!TakeCounted(copy, field)) {
            return false;
        }
    }
    std::vector<std::string> lines;
    while (!copy.empty()) {
        if (!TakeCounted(copy, lines.emplace_back())) {
            return false;
        }
    }
    for (int i = 0; i < 4; ++i) {
        fields_[i] = std::move(fields[i]);
    }
    lines_ = std::move(lines);
    return true;
}

std::string MailMessageConversion::FieldValue(ConvertedField field) const {
    return fields_[static_cast<int>(field)];
}

void MailMessageConversion::SetFieldValue(ConvertedField field, std::string value) {
    fields_[static_cast<int>(field)] = std::move(value);
}

void MailMessageConversion::SetBodyLine(std::size_t index, std::string line) {
    if (lines_[index] != line) {
        lines_[index] = std::move(line);
        bodyChanged_ = true;
    }
}

void MailMessageConversion::ApplyTo(MailMessage& message) const {
    message.from = fields_[static_cast<int>(ConvertedField::From)];
    message.to = fields_[static_cast<int>(ConvertedField::To)];
    message.cc = fields_[static_cast<int>(ConvertedField::Cc)];
    message.subject = fields_[static_cast<int>(ConvertedField::Subject)];
    if (!bodyChanged_) {
        return;
    }
    // A converted line longer than a body line can hold is split, as any
    // long line is.
    message.bodyLines.Clear();
    message.bodyLineCount = 0;
    for (const std::string& line : lines_) {
        message.AddBodyLine(line);
    }
}

bool ConvertMailMessageCode(MailMessage& message, CodeDirection direction, bool force,
                            const CodePage& cp) {
    MailMessageConversion conversion(message);
    if (!ConvertMessageCode(conversion, direction, force, cp)) {
        return false;
    }
    conversion.ApplyTo(message);
    return true;
}

}  // namespace corvina
