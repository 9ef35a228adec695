#include "ui/main/MailCommands.h"

#include "ui/bridge/MailThread.h"
#include "ui/main/MainContext.h"

namespace corvina {

MailCommands::MailCommands(MainContext& context, MailThread& mail, QWidget* window)
    : context_(context), mail_(mail), window_(window) {}

MailCommands::~MailCommands() = default;

bool MailCommands::Handles(int) {
    return false;
}

bool MailCommands::Enabled(int) const {
    return false;
}

bool MailCommands::Run(int) {
    return false;
}

}  // namespace corvina
