#pragma once
// The small dialog that asks for a user name and a password together,
// pre-filled: the account dialog of a login without them, and the "Logon"
// dialog of a dial-up entry.

#include <QDialog>
#include <optional>
#include <string_view>

#include "transfer/ProtocolClient.h"

class QLineEdit;

namespace corvina {

class CredentialsDialog : public QDialog {
public:
    CredentialsDialog(QWidget* parent, std::string_view title, std::string_view userLabel,
                      const Credentials& prefilled);

    Credentials Entered() const;

    // Runs the dialog; nullopt = Cancel.
    static std::optional<Credentials> Ask(QWidget* parent, std::string_view title,
                                          std::string_view userLabel, const Credentials& prefilled);

private:
    QLineEdit* user_;
    QLineEdit* password_;
};

}  // namespace corvina
