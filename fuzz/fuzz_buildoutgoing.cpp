// BuildOutgoingText and ExportMessage on messages parsed from arbitrary
// bytes: no produced line may hold an LF, and no line may be a single "."
// (it would end the SMTP DATA phase).

#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <system_error>

#include "common/CodePage.h"
#include "compose/RecipientGroups.h"
#include "message/mime/MessageParser.h"
#include "message/mime/MimeTypeTable.h"
#include "message/mime/OutgoingText.h"
#include "message/MailMessage.h"

#include "FuzzScratch.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace corvina;
    static const MimeTypeTable types;
    std::string_view text(reinterpret_cast<const char*>(data), size);
    unsigned char selector = size > 0 ? data[0] : 0;
    const int pages[] = {CodePage::kUtf8, CodePage::kShiftJis, CodePage::kWestern};
    const CodePage& cp = CodePage::Get(pages[selector % 3]);

    ParseOptions parse;
    parse.codePage = &cp;
    parse.types = &types;
    parse.mailboxDirectory = corvina::fuzz::ScratchDir();
    MailMessage message;
    ParseMessage(message, text, parse);
    message.encoding = (selector >> 2) % 3;
    message.hasResent = (selector & 0x10) != 0;

    OutgoingOptions out;
    out.codePage = &cp;
    out.groups = AddressBookGroups(corvina::fuzz::ScratchDir() / "AddrBook");
    out.tempDirectory = corvina::fuzz::ScratchDir() / "tmp";
    out.sendDate = (selector & 0x20) != 0;
    out.dateText = "Mon, 07 Dec 1998 09:45:03 +0900";
    std::error_code ec;
    std::filesystem::create_directories(out.tempDirectory, ec);
    BuildOutgoingText(
        message,
        [](std::string_view line) {
            if (line.find('\n') != std::string_view::npos) {
                std::abort();
            }
            if (line == ".") {
                std::abort();
            }
            return true;
        },
        out);
    ExportMessage(message, corvina::fuzz::ScratchDir() / "export.txt", "--", (selector & 0x40) != 0,
                  out);

    std::filesystem::remove_all(corvina::fuzz::ScratchDir() / "Attach", ec);
    std::filesystem::remove(corvina::fuzz::ScratchDir() / "export.txt", ec);
    std::filesystem::remove_all(out.tempDirectory, ec);
    return 0;
}
