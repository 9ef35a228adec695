#include "message/mime/SecondStageDecode.h"

#include <fstream>
#include <new>
#include <optional>
#include <string>
#include <system_error>

#include "common/Bytes.h"
#include "common/UserPrompt.h"
#include "message/BinHex.h"
#include "message/MailMessage.h"
#include "message/Uuencode.h"
#include "message/mime/MessageParser.h"
#include "message/mime/MimeTypeTable.h"

namespace corvina {

namespace {

// The whole file, or nothing when it is too large or memory cannot be had.
std::optional<std::string> ReadForDecoding(const std::filesystem::path& path, bool& noMemory) {
    noMemory = false;
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (ec) {
        return std::nullopt;
    }
    if (size > kMaxSecondStageBytes) {
        noMemory = true;
        return std::nullopt;
    }
    std::string content;
    try {
        content.resize(static_cast<std::size_t>(size));
    } catch (const std::bad_alloc&) {
        noMemory = true;
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in.read(content.data(), static_cast<std::streamsize>(content.size()))) {
        return std::nullopt;
    }
    return content;
}

}  // namespace

void DecodeTextEncodedAttachments(MailMessage& message, const MimeTypeTable& types,
                                  const std::filesystem::path& attachDir, UserPrompt* prompt,
                                  std::vector<std::filesystem::path>& createdFiles) {
    const std::size_t count = message.attachments.size();
    for (std::size_t i = 0; i < count; ++i) {
        const AttachmentEntry entry = message.attachments[i];
        if (!EqualNoCase(entry.type, "application") || !IsTextEncodedFileType(entry.subtype)) {
            continue;
        }
        bool noMemory = false;
        std::optional<std::string> content = ReadForDecoding(entry.path, noMemory);
        if (!content) {
            if (noMemory && prompt) {
                prompt->Notify(kInsufficientMemoryText, kMessageCaption);
            }
            continue;
        }
        DecodeTarget target;
        target.directory = attachDir;
        target.dialogDirectory = attachDir;
        target.prompt = prompt;
        std::optional<std::filesystem::path> out;
        std::string_view text = *content;
        if (EqualNoCase(entry.subtype, "mac-binhex40")) {
            std::size_t at = text.find(kBinHexFirstLine);
            if (at != std::string_view::npos) {
                out = BinHexDecodeText(text.substr(at), target);
            }
        } else {
            std::size_t at = text.starts_with("begin ") ? 0 : text.find("\nbegin ");
            if (at != std::string_view::npos) {
                at += text[at] == '\n' ? 1 : 0;
                out = UuDecodeText(text.substr(at), target);
            }
        }
        if (out) {
            AttachmentEntry decodedEntry;
            decodedEntry.path = *out;
            TypeAttachmentByFileName(decodedEntry, types);
            message.attachments.push_back(std::move(decodedEntry));
            createdFiles.push_back(*out);
        }
    }
}

}  // namespace corvina
