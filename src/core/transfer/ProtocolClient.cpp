#include "transfer/ProtocolClient.h"

#include <cstdarg>
#include <cstdio>

namespace corvina {

ProtocolClient::ProtocolClient(ClientReport& report)
    : state_(report.state), report_(report), connection_(&report.state.abort) {}

ProtocolClient::~ProtocolClient() {
    connection_.Close();
}

void ProtocolClient::PostStatus(std::string_view text) {
    if (!state_.quiet && report_.status) {
        report_.status(text);
    }
}

void ProtocolClient::Fail(std::string error) {
    report_.lastError = std::move(error);
    state_.AddTranscript(report_.lastError + "\n");
}

bool ProtocolClient::Open(const ServerEndpoint& endpoint) {
    connection_.Close();
    state_.broken = false;
    report_.lastError.clear();
    tls_ = endpoint.tls;
    connection_.SetTimeout(endpoint.timeout);
    if (!connection_.Connect(endpoint.addresses)) {
        Fail(connection_.LastError());
        state_.broken = true;
        return false;
    }
    return !endpoint.implicitTls || StartTls();
}

bool ProtocolClient::StartTls() {
    if (!connection_.StartTls(tls_)) {
        Fail(connection_.LastError());
        PostStatus(report_.lastError);
        connection_.Close();
        state_.broken = true;
        return false;
    }
    return true;
}

void ProtocolClient::Disconnect() {
    connection_.Close();
}

std::optional<std::string_view> ProtocolClient::ReadLimited(size_t keep, size_t cap) {
    if (state_.broken || !connection_.IsOpen()) {
        return std::nullopt;
    }
    std::optional<std::string> got = connection_.ReadLine(keep, cap);
    if (!got) {
        state_.broken = true;
        report_.lastError = connection_.LastError();
        if (!state_.abort.IsRaised()) {
            state_.AddTranscript(report_.lastError + "\n");
        }
        return std::nullopt;
    }
    line_ = std::move(*got);
    if (!state_.quiet) {
        PostStatus(line_);
        state_.AddTranscript(line_ + "\n");
    }
    if (state_.abort.IsRaised()) {
        return std::nullopt;
    }
    return std::string_view(line_);
}

std::optional<std::string_view> ProtocolClient::ReadReply() {
    return ReadLimited(kLineMax, kReplyLineCap);
}

std::optional<std::string_view> ProtocolClient::ReadDataLine() {
    return ReadLimited(kDataLineMax, kDataLineCap);
}

void ProtocolClient::EndBroken(std::string error) {
    connection_.Close();
    state_.broken = true;
    Fail(std::move(error));
    PostStatus(report_.lastError);
    Disconnect();
}

bool ProtocolClient::SendLine(std::string_view text, bool flush) {
    // Nothing goes out once the user aborted: a QUIT would commit the
    // session's deletions and a final "." would send a message the user
    // stopped.
    if (!connection_.IsOpen() || state_.broken || state_.abort.IsRaised()) {
        return false;
    }
    // A line break inside a line would start a command of its own on the
    // server (a user name, an address or a subject smuggling one in).
    if (text.find_first_of("\r\n") != std::string_view::npos) {
        report_.lastError =
            "A line for the server held a line break (from a user name, an address or a "
            "subject) and was not sent; remove the line break from that field";
        return false;
    }
    if (!connection_.WriteLine(text, flush)) {
        state_.broken = true;
        report_.lastError = connection_.LastError();
        return false;
    }
    if (!state_.quiet) {
        PostStatus(text);
        std::string entry(text);
        entry += '\n';
        state_.AddTranscript(entry);
    }
    return !state_.abort.IsRaised();
}

bool ProtocolClient::SendFormat(const char* format, ...) {
    char buffer[1025];
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (n < 0) {
        return false;
    }
    return SendLine(buffer);
}

bool ProtocolClient::SendSecret(std::string_view text, std::string_view shown) {
    const bool wasQuiet = state_.quiet.exchange(true);
    const bool sent = SendLine(text);
    state_.quiet = wasQuiet;
    if (sent && !shown.empty()) {
        PostStatus(shown);
        state_.AddTranscript(std::string(shown) + "\n");
    }
    return sent;
}

}  // namespace corvina
