#pragma once
// Messages and folder files for the store tests that write mailboxes.

#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "store/MailFolder.h"
#include "message/MailMessage.h"
#include "store/Mailbox.h"

namespace corvina::test {

// One message in the stored form, CR LF line ends.
inline std::string StoredMessage(std::string_view from, std::string_view body = "x\r\n") {
    return "From:" + std::string(from) + "\r\nTo:x\r\nSubject:s\r\nX-Priority:3\r\n\r\n" +
           std::string(body) + ".\r\n";
}

// A new message with one body line, as delivery receives it.
inline std::unique_ptr<MailMessage> NewStoreMessage(std::string from) {
    auto m = std::make_unique<MailMessage>(0);
    m->from = std::move(from);
    m->to = "to@example.org";
    m->subject = "s";
    m->AddBodyLine("body");
    m->bodyLoaded = true;
    return m;
}

// The senders of a folder file as a fresh load finds them.
inline std::vector<std::string> SendersIn(const std::filesystem::path& mbx,
                                          const StoreContext& context) {
    MailFolder folder(mbx);
    LoadFolder(folder, context);
    std::vector<std::string> out;
    for (const auto& m : folder.messages)
        out.push_back(m->from);
    return out;
}

// Makes writes past `bytes` fail with EFBIG while it lives, as a full disk
// fails them.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &old_);
        rlimit limit = old_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &old_); }

private:
    rlimit old_{};
};

}  // namespace corvina::test
