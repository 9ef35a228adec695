#pragma once
// Shared pieces of the MIME tests: a mailbox directory in a scratch dir and
// parse options pointing at it.

#include <filesystem>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "common/CodePage.h"
#include "message/mime/MessageParser.h"
#include "message/mime/MimeTypeTable.h"
#include "message/MailMessage.h"

namespace corvina::test {

struct MimeFixture {
    ScratchDir dir;
    MimeTypeTable types;
    ParseOptions options;

    explicit MimeFixture(int codePage = CodePage::kUtf8) {
        options.codePage = &CodePage::Get(codePage);
        options.types = &types;
        options.mailboxDirectory = dir.Path();
    }

    std::filesystem::path Attach() const { return dir.Path() / "Attach"; }

    ParseResult Parse(MailMessage& m, const std::string& text) {
        return ParseMessage(m, text, options);
    }

    std::vector<std::string> Body(const MailMessage& m) const {
        std::vector<std::string> out;
        for (const MessageLine& line : m.bodyLines) {
            out.emplace_back(line.Content());
        }
        return out;
    }

    std::vector<std::string> AttachmentNames(const MailMessage& m) const {
        std::vector<std::string> out;
        for (const AttachmentEntry& a : m.attachments) {
            out.push_back(a.path.filename().string());
        }
        return out;
    }
};

}  // namespace corvina::test
