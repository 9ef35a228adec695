#pragma once
// The filter rules of the current account and the choice of a folder for a
// message: the first rule whose header holds its find text and whose folder
// exists decides; otherwise the message stays in InBox.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "filter/FilterRule.h"

namespace corvina {

class MailMessage;

// Command "Manual Filtering" (kCmdManualFiltering): app/MainCommands.h.

class FilterList {
public:
    // Empties the list and reads <mailboxDir>/Filter.DEF (a missing file
    // gives no rules). False only when the file exists but cannot be read.
    bool LoadFilters(const std::filesystem::path& mailboxDir);

    const std::vector<FilterRule>& Rules() const { return rules_; }
    const std::filesystem::path& MailboxDir() const { return mailboxDir_; }

    // The folder name chosen for `message`, or "InBox". Other header lines a
    // loaded message keeps in its file are read from there when a rule needs
    // them.
    std::string FilterFolder(MailMessage& message) const;

private:
    std::filesystem::path mailboxDir_;
    std::vector<FilterRule> rules_;
};

// The text a rule's find text is searched in: for From, To, Subject, Date,
// Cc and Reply-To the parsed field; for any other name the part after the
// first colon of the first other header line named so. Empty when absent.
std::string_view FilterHeaderText(const MailMessage& message, std::string_view header);

// Whether `text` holds the rule's find text; with the rule's flag "I",
// letter case is ignored in every script of the working code page.
bool FilterTextMatches(const FilterRule& rule, std::string_view text);

}  // namespace corvina
