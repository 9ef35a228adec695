// ParseMessage over arbitrary bytes, as text arriving from outside. The
// attachment directory is a private temporary directory emptied after each
// input, so decoded parts never pile up.

#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string_view>
#include <system_error>

#include "common/CodePage.h"
#include "message/mime/MessageParser.h"
#include "message/mime/MimeTypeTable.h"
#include "message/MailMessage.h"

#include "FuzzScratch.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace corvina;
    static const MimeTypeTable types;
    std::string_view text(reinterpret_cast<const char*>(data), size);
    // The first byte picks the working code page and the options.
    const int pages[] = {CodePage::kUtf8, CodePage::kShiftJis, CodePage::kWestern};
    unsigned char selector = size > 0 ? data[0] : 0;
    ParseOptions options;
    options.codePage = &CodePage::Get(pages[selector % 3]);
    options.types = &types;
    options.mailboxDirectory = corvina::fuzz::ScratchDir();
    options.autoWrap = (selector & 4) != 0;
    options.breakSets = LineBreakSets::Defaults(*options.codePage);
    options.trustStoreLines = false;
    MailMessage message;
    ParseMessage(message, text, options);
    // The stored form must read back.
    std::string stored = SerializeMessage(message, corvina::fuzz::ScratchDir());
    options.trustStoreLines = true;
    MailMessage again;
    ParseMessage(again, stored, options);

    std::error_code ec;
    std::filesystem::remove_all(corvina::fuzz::ScratchDir() / "Attach", ec);
    return 0;
}
