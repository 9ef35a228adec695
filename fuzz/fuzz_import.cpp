// The conversion of foreign mailboxes on arbitrary input: the first byte
// picks the separator and the drop flag, the rest is the file. What the
// client then reads from the mailbox is exactly the counted messages, none
// of which carries the store's own lines.

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "common/CodePage.h"
#include "importer/MailImport.h"
#include "store/MailFolder.h"
#include "message/MailMessage.h"
#include "store/Mailbox.h"

#include "FuzzScratch.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    static const char* const kSeparators[] = {"From ", "", ".\n", "--", "X-Marlo-", "."};
    const unsigned choice = data[0];
    corvina::ConversionOptions options;
    options.separator = kSeparators[choice % 6];
    options.dropSeparator = (choice & 0x40) == 0;
    options.codePage = &corvina::CodePage::Get((choice & 0x80) ? corvina::CodePage::kShiftJis
                                                               : corvina::CodePage::kUtf8);
    const std::filesystem::path input = corvina::fuzz::ScratchDir() / "in.txt";
    const std::filesystem::path output = corvina::fuzz::ScratchDir() / "Import.mbx";
    {
        std::ofstream out(input, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data + 1), static_cast<std::streamsize>(size - 1));
    }
    std::error_code ec;
    std::filesystem::remove(output, ec);
    int count = 0;
    if (!corvina::ConvertToMailbox(input, output, options, count)) {
        std::abort();
    }
    corvina::MailFolder folder(output);
    corvina::StoreContext context{corvina::fuzz::ScratchDir(), nullptr};
    if (count > 0 && !corvina::LoadFolder(folder, context)) {
        std::abort();
    }
    if (folder.messages.size() != static_cast<std::size_t>(count)) {
        std::abort();
    }
    for (const auto& message : folder.messages) {
        if (!message->attachments.empty() || message->decoded || message->replied ||
            message->encoding != 0) {
            std::abort();
        }
    }
    return 0;
}
