#include "ui/dialogs/CredentialsDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>

#include "ui/bridge/QtText.h"

namespace corvina {

CredentialsDialog::CredentialsDialog(QWidget* parent, std::string_view title,
                                     std::string_view userLabel, const Credentials& prefilled)
    : QDialog(parent),
      user_(new QLineEdit(ToQString(prefilled.user))),
      password_(new QLineEdit(ToQString(prefilled.password))) {
    setObjectName("CredentialsDialog");
    setWindowTitle(ToQString(title));
    user_->setObjectName("user");
    password_->setObjectName("password");
    password_->setEchoMode(QLineEdit::Password);
    auto* form = new QFormLayout(this);
    form->addRow(ToQString(userLabel), user_);
    form->addRow(tr("&Password:"), password_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form->addRow(buttons);
    (prefilled.user.empty() ? user_ : password_)->setFocus();
}

Credentials CredentialsDialog::Entered() const {
    return {FromQString(user_->text()), FromQString(password_->text())};
}

std::optional<Credentials> CredentialsDialog::Ask(QWidget* parent, std::string_view title,
                                                  std::string_view userLabel,
                                                  const Credentials& prefilled) {
    CredentialsDialog dialog(parent, title, userLabel, prefilled);
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return dialog.Entered();
}

}  // namespace corvina
