// LoadFolder over arbitrary mailbox bytes, then every message's header
// lines and body read back, and one rewrite of the whole folder, which must
// keep every message.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "store/MailFolder.h"
#include "message/MailMessage.h"
#include "store/Mailbox.h"

#include "FuzzScratch.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace corvina;
    const std::filesystem::path path = corvina::fuzz::ScratchDir() / "Fuzz.mbx";
    {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        if (f == nullptr) {
            return 0;
        }
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    StoreContext context{corvina::fuzz::ScratchDir(), nullptr};
    MailFolder folder(path);
    if (!LoadFolder(folder, context)) {
        return 0;
    }
    const std::size_t count = folder.messages.size();
    for (auto& m : folder.messages) {
        LoadMessageBody(*m);
        if (!m->bodyLoaded || !m->otherHeadersLoaded ||
            m->bodyLines.size() != static_cast<std::size_t>(m->bodyLineCount) ||
            m->otherHeaders.size() != static_cast<std::size_t>(m->otherHeaderCount)) {
            std::abort();  // the index and the file disagree
        }
        m->dirty = true;
    }
    folder.modified = true;
    if (count > 0 && SaveFolder(folder, false, context)) {
        MailFolder again(path);
        if (!LoadFolder(again, context) || again.messages.size() != count) {
            std::abort();  // a rewrite lost or made up a message
        }
    }
    return 0;
}
