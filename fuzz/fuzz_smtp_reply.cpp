// SMTP reply lines: codes, continuation marks and the EHLO capability list
// (STARTTLS, AUTH mechanisms) from any bytes; then the same bytes through
// the session's whole-reply reader, reply after reply: every reply it
// accepts has one code on all its lines and stays within its cap.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzSession.h"
#include "transfer/ReplyParser.h"
#include "transfer/SmtpClient.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace corvina;
    std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> capabilities;
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        std::string_view line = text.substr(pos, end - pos);
        int code = SmtpCode(line);
        if (code < -1 || code > 999) {
            __builtin_trap();
        }
        SmtpContinues(line);
        std::string capability = SmtpCapabilityLine(line);
        if (capability.size() > line.size()) {
            __builtin_trap();
        }
        capabilities.push_back(std::move(capability));
        pos = end + 1;
    }
    HasCapability(capabilities, "STARTTLS");
    OffersAuth(capabilities, "PLAIN");
    OffersAuth(capabilities, "LOGIN");

    fuzz::FedClient<SmtpClient> fed(data, size);
    if (!fed.Ok()) {
        return 0;
    }
    SmtpClient& session = fed.client;
    std::vector<std::string> lines;
    while (auto last = session.ReadSmtpReply(&lines)) {
        size_t total = 0;
        for (const std::string& line : lines) {
            total += line.size() + 2;
            if (SmtpCode(line) != SmtpCode(*last) || SmtpCode(line) < 0) {
                __builtin_trap();
            }
        }
        if (lines.empty() || SmtpContinues(*last) || total > SmtpClient::kReplyCap) {
            __builtin_trap();
        }
    }
    return 0;
}
