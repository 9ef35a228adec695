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
#include "store/MailMessage.h"

namespace {

const std::filesystem::path& WorkDir() {
    static const std::filesystem::path dir = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "fuzzmimeXXXXXX").string();
        char* made = mkdtemp(pattern.data());
        return std::filesystem::path(made ? made : "/tmp/fuzzmime-fallback");
    }();
    return dir;
}

}  // namespace

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
    options.mailboxDirectory = WorkDir();
    options.autoWrap = (selector & 4) != 0;
    options.breakSets = LineBreakSets::Defaults(*options.codePage);
    options.trustStoreLines = false;
    MailMessage message;
    ParseMessage(message, text, options);
    // The stored form must read back.
    std::string stored = SerializeMessage(message, WorkDir());
    options.trustStoreLines = true;
    MailMessage again;
    ParseMessage(again, stored, options);

    std::error_code ec;
    std::filesystem::remove_all(WorkDir() / "Attach", ec);
    return 0;
}
