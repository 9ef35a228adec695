#include "filter/FilterList.h"

#include <fstream>
#include <sstream>
#include <system_error>

#include "common/Bytes.h"
#include "common/CaseFold.h"
#include "store/FolderNames.h"
#include "store/MailFolder.h"
#include "message/MailMessage.h"
#include "store/Mailbox.h"

namespace corvina {

namespace {

bool IsParsedField(std::string_view header) {
    for (std::string_view name : {"From", "To", "Subject", "Date", "Cc", "Reply-To"}) {
        if (EqualNoCase(header, name))
            return true;
    }
    return false;
}

}  // namespace

bool FilterList::LoadFilters(const std::filesystem::path& mailboxDir) {
    rules_.clear();
    mailboxDir_ = mailboxDir;
    const auto path = mailboxDir / "Filter.DEF";
    std::error_code ec;
    if (!std::filesystem::exists(path, ec))
        return true;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream text;
    text << in.rdbuf();
    rules_ = ParseFilterRules(text.str());
    return true;
}

std::string_view FilterHeaderText(const MailMessage& message, std::string_view header) {
    if (EqualNoCase(header, "From"))
        return message.from;
    if (EqualNoCase(header, "To"))
        return message.to;
    if (EqualNoCase(header, "Subject"))
        return message.subject;
    if (EqualNoCase(header, "Date"))
        return message.date;
    if (EqualNoCase(header, "Cc"))
        return message.cc;
    if (EqualNoCase(header, "Reply-To"))
        return message.replyTo;
    for (const std::string& line : message.otherHeaders) {
        if (line.size() > header.size() && line[header.size()] == ':' &&
            StartsWithNoCase(line, header)) {
            return std::string_view(line).substr(header.size() + 1);
        }
    }
    return {};
}

bool FilterTextMatches(const FilterRule& rule, std::string_view text) {
    if (rule.IgnoreCase())
        return CaseFold().Contains(text, rule.find);
    return text.find(rule.find) != std::string_view::npos;
}

std::string FilterList::FilterFolder(MailMessage& message) const {
    bool headersRead = message.otherHeadersLoaded;
    for (const FilterRule& rule : rules_) {
        if (!headersRead && !IsParsedField(rule.header)) {
            LoadOtherHeaders(message);
            headersRead = true;
        }
        const std::string_view text = FilterHeaderText(message, rule.header);
        if (text.empty() || !FilterTextMatches(rule, text))
            continue;
        if (FindFolder(mailboxDir_, rule.folder) ||
            FindFolder(mailboxDir_, ResolveFolderName(rule.folder)))
            return rule.folder;
    }
    return "InBox";
}

}  // namespace corvina
