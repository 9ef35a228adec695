#include "platform/LinkLayer.h"

#include "platform/Process.h"

namespace corvina {
namespace {

// Seconds the service may take to bring a link up.
constexpr int kDialTimeoutSeconds = 90;

// The secret setting NetworkManager asks for, by connection type.
std::string_view SecretKey(std::string_view type) {
    if (type == "gsm" || type == "bluetooth") {
        return "gsm.password";
    }
    if (type == "cdma") {
        return "cdma.password";
    }
    if (type == "pppoe") {
        return "pppoe.password";
    }
    if (type == "vpn") {
        return "vpn.secrets.password";
    }
    return {};
}

std::string FirstErrorLine(const std::string& err) {
    std::string_view rest = err;
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) {
            line.remove_suffix(1);
        }
        if (!line.empty()) {
            return std::string(line);
        }
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    }
    return {};
}

}  // namespace

LinkLayer::LinkLayer(std::string program) : program_(std::move(program)) {}

bool LinkLayer::Load() {
    if (!loaded_) {
        if (auto found = Process::FindProgram(program_)) {
            resolved_ = found->string();
            loaded_ = true;
        }
    }
    return loaded_;
}

bool LinkLayer::IsDialUpType(std::string_view type) {
    return !SecretKey(type).empty();
}

std::string LinkLayer::ErrorText(int code) {
    switch (code) {
        case 0:
            return "Success";
        case 2:
            return "Invalid request to the network service";
        case 3:
            return "The network service timed out";
        case 4:
            return "The connection could not be activated";
        case 5:
            return "The connection could not be deactivated";
        case 6:
            return "The device could not be disconnected";
        case 8:
            return "NetworkManager is not running";
        case 10:
            return "No such connection (nmcli connection show lists the ones there are)";
        case -1:
            return "NetworkManager's nmcli, which dial-up needs, could not be run; install "
                   "network-manager or set Dialup to 0 for this account";
        default:
            return "Unknown network service error";
    }
}

std::vector<std::string> LinkLayer::SplitTerse(std::string_view line) {
    std::vector<std::string> fields(1);
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '\\' && i + 1 < line.size()) {
            fields.back() += line[++i];
        } else if (c == ':') {
            fields.emplace_back();
        } else if (c != '\r') {
            fields.back() += c;
        }
    }
    return fields;
}

LinkLayer::Output LinkLayer::RunTool(std::vector<std::string> args, ProcessHost* host,
                                     const std::string* secrets) {
    Output output;
    if (!Load()) {
        lastError_ = {-1, ErrorText(-1)};
        return output;
    }
    args.insert(args.begin(), resolved_);
    Process process(std::move(args));
    process.SetEnv("LC_ALL", std::string("C"));  // messages and output in one fixed form
    process.SetOutputLimit(4 * 1024 * 1024);
    if (secrets != nullptr) {
        process.AddInputPipe(3, *secrets);
    }
    const auto result = process.Run(host);
    if (!result) {
        lastError_ = {-1, ErrorText(-1)};
        return output;
    }
    if (result->aborted) {
        lastError_ = {-2, "Aborted"};
        return output;
    }
    if (result->exitCode != 0) {
        const int code = result->exitCode >= 0 ? result->exitCode : 1;
        std::string text = FirstErrorLine(result->err);
        lastError_ = {code, text.empty() ? ErrorText(code) : text};
        return output;
    }
    lastError_ = {};
    output.ok = true;
    output.out = result->out;
    return output;
}

std::optional<std::vector<LinkEntry>> LinkLayer::ListConnections(bool active, ProcessHost* host) {
    std::vector<std::string> args = {
        "-t", "-f", active ? "NAME,UUID,TYPE,DEVICE" : "NAME,UUID,TYPE", "connection", "show"};
    if (active) {
        args.push_back("--active");
    }
    const Output output = RunTool(std::move(args), host);
    if (!output.ok) {
        return std::nullopt;
    }
    std::vector<LinkEntry> entries;
    std::string_view rest = output.out;
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        const std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        std::vector<std::string> f = SplitTerse(line);
        if (f.size() < 3 || f[0].empty()) {
            continue;
        }
        entries.push_back({f[0], f[1], f[2], f.size() > 3 ? f[3] : std::string()});
    }
    return entries;
}

std::optional<std::vector<LinkEntry>> LinkLayer::Entries(ProcessHost* host) {
    return ListConnections(false, host);
}

std::optional<std::vector<LinkEntry>> LinkLayer::ActiveConnections(ProcessHost* host) {
    return ListConnections(true, host);
}

std::optional<std::string> LinkLayer::Dial(std::string_view entry, std::string_view password,
                                           ProcessHost* host) {
    lastAttempt_.clear();
    const auto entries = Entries(host);
    if (!entries) {
        return std::nullopt;
    }
    // Profile names are matched exactly first, as the phone book shows them.
    const LinkEntry* found = nullptr;
    for (const LinkEntry& e : *entries) {
        if (e.name == entry) {
            found = &e;
            break;
        }
    }
    if (found == nullptr || found->uuid.empty()) {
        lastError_ = {10, ErrorText(10)};
        return std::nullopt;
    }
    std::vector<std::string> args = {
        "--wait", std::to_string(kDialTimeoutSeconds), "connection", "up", "uuid", found->uuid};
    std::string secrets;
    const std::string_view key = SecretKey(found->type);
    if (!password.empty() && !key.empty()) {
        if (password.find_first_of("\r\n") != std::string_view::npos) {
            lastError_ = {2, ErrorText(2)};
            return std::nullopt;
        }
        secrets = std::string(key) + ":" + std::string(password) + "\n";
        args.push_back("passwd-file");
        args.push_back("/dev/fd/3");
    }
    lastAttempt_ = found->uuid;
    const Output output = RunTool(std::move(args), host, secrets.empty() ? nullptr : &secrets);
    if (!output.ok) {
        return std::nullopt;
    }
    return found->uuid;
}

bool LinkLayer::HangUp(std::string_view handle, ProcessHost* host) {
    if (handle.empty()) {
        lastError_ = {2, ErrorText(2)};
        return false;
    }
    return RunTool({"connection", "down", "uuid", std::string(handle)}, host).ok;
}

}  // namespace corvina
