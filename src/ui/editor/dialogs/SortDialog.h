#pragma once
// "Sort": the order of the selected lines, whether letter case counts, and
// whether each logical line sorts by itself.

#include <QDialog>

#include "editor/EditorDialogs.h"

class QCheckBox;
class QRadioButton;

namespace corvina {

class SortDialog : public QDialog {
public:
    SortDialog(const SortChoice& choice, QWidget* parent);

    SortChoice Choice() const;

private:
    QRadioButton* descending_;
    QCheckBox* ignoreCase_;
    QCheckBox* sortLines_;
};

}  // namespace corvina
