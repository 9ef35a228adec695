#pragma once
// A recording StoreHost for the mailbox tests.

#include <string>
#include <vector>

#include "store/StoreHost.h"

namespace corvina::test {

class RecordingStoreHost : public StoreHost {
public:
    std::vector<std::string> errors;
    std::vector<MailFolder*> delivered;
    std::vector<MailFolder*> expanded;
    int idleCalls = 0;
    MailFolder* shown = nullptr;
    const MailMessage* viewed = nullptr;

    ConfirmAnswer Confirm(std::string_view, std::string_view, ConfirmButtons) override {
        return ConfirmAnswer::Ok;
    }
    void ReportError(std::string_view text) override { errors.emplace_back(text); }
    void ProcessPendingInput() override { ++idleCalls; }
    MailFolder* ShownFolder() override { return shown; }
    const MailMessage* ViewedMessage() override { return viewed; }
    void MessageDelivered(MailFolder& folder, MailMessage&) override {
        delivered.push_back(&folder);
    }
    void ExpandParentOf(MailFolder& folder) override { expanded.push_back(&folder); }
};

}  // namespace corvina::test
