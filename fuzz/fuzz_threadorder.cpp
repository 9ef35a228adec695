// Subjects, Message-IDs and references of any shape through the threaded
// display order. Each input line is one message: subject, TAB, Message-ID,
// TAB, parent reference. The order must show every message exactly once,
// at a depth below the number of messages.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string_view>
#include <vector>

#include "message/MailMessage.h"
#include "store/ThreadOrder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace corvina;
    std::string_view input(reinterpret_cast<const char*>(data), size);
    std::vector<std::unique_ptr<MailMessage>> messages;
    while (!input.empty() && messages.size() < 5000) {
        const std::size_t end = input.find('\n');
        std::string_view line = input.substr(0, end);
        input = end == std::string_view::npos ? std::string_view() : input.substr(end + 1);
        auto m = std::make_unique<MailMessage>(0);
        std::string_view parts[3];
        for (std::string_view& part : parts) {
            const std::size_t tab = line.find('\t');
            part = line.substr(0, tab);
            line = tab == std::string_view::npos ? std::string_view() : line.substr(tab + 1);
        }
        m->subject = parts[0];
        m->messageId = parts[1];
        m->parentReference = parts[2];
        bool reply = false;
        const std::string_view base = BaseSubject(m->subject, &reply);
        if (base.size() > m->subject.size())
            std::abort();
        messages.push_back(std::move(m));
    }
    const std::vector<ThreadEntry> order = ThreadedOrder(messages);
    if (order.size() != messages.size())
        std::abort();
    std::vector<bool> seen(messages.size(), false);
    for (const ThreadEntry& e : order) {
        if (e.index < 0 || e.index >= static_cast<int>(messages.size()) || seen[e.index]) {
            std::abort();
        }
        seen[e.index] = true;
        if (e.depth < 0 || e.depth >= static_cast<int>(messages.size()))
            std::abort();
    }
    return 0;
}
