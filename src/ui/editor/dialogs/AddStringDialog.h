#pragma once
// "Add String": a string to put at the start ("&Top of Line") or the end
// ("&End of Line") of each selected line.

#include <QDialog>

#include "editor/EditorDialogs.h"

class QLineEdit;
class QRadioButton;

namespace corvina {

class AddStringDialog : public QDialog {
public:
    AddStringDialog(const AddStringChoice& choice, QWidget* parent);

    AddStringChoice Choice() const;

private:
    QLineEdit* text_;
    QRadioButton* atEnd_;
};

}  // namespace corvina
