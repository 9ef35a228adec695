#pragma once
// Parts the editor's dialogs share: a column of buttons, the "OK" /
// "Cancel" column, the layout of a one-field dialog and a titled group of
// radio buttons.

#include <QGroupBox>
#include <QWidget>
#include <functional>
#include <initializer_list>

class QButtonGroup;
class QDialog;
class QBoxLayout;
class QPushButton;
class QLabel;

namespace corvina {

// Push buttons in the order they are added, top to bottom (or left to
// right); QDialogButtonBox would reorder them by the desktop's rules.
class ButtonColumn : public QWidget {
public:
    explicit ButtonColumn(QWidget* parent, Qt::Orientation orientation = Qt::Vertical);

    QPushButton* Add(const char* text, std::function<void()> pressed);

private:
    QBoxLayout* layout_;
};

// "OK" (the default) accepts `dialog`, "Cancel" rejects it.
ButtonColumn* MakeOkCancel(QDialog& dialog);

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
