#pragma once
// Parts the editor's simple dialogs share: the "OK" / "Cancel" column and
// a titled group of radio buttons.

#include <QGroupBox>
#include <initializer_list>

class QButtonGroup;
class QDialog;
class QDialogButtonBox;
class QLabel;

namespace corvina {

// "OK" (the default) accepts `dialog`, "Cancel" rejects it.
QDialogButtonBox* MakeOkCancel(QDialog& dialog);

// Lays out a dialog of one labelled field with `below` under it and the
// "OK" / "Cancel" column beside them; the label's buddy is the field,
// which takes the focus.
void LayOutFieldDialog(QDialog& dialog, QLabel* label, QWidget* field,
                       std::initializer_list<QWidget*> below);

// A titled group of radio buttons, one of them checked; choices are
// numbered from 0 in the order given.
class RadioGroup : public QGroupBox {
public:
    RadioGroup(const char* title, std::initializer_list<const char*> choices, int checked,
               QWidget* parent);

    int Checked() const;

private:
    QButtonGroup* group_;
};

}  // namespace corvina
