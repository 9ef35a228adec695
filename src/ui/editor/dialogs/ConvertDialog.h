#pragma once
// "Convert": what to change in the selected lines: letter case, tabs and
// spaces, wide and narrow characters.

#include <QDialog>

#include "editor/EditorDialogs.h"

namespace corvina {

class RadioGroup;

class ConvertDialog : public QDialog {
public:
    ConvertDialog(const ConvertChoice& choice, QWidget* parent);

    ConvertChoice Choice() const;

private:
    RadioGroup* letterCase_;
    RadioGroup* spacing_;
    RadioGroup* width_;
};

}  // namespace corvina
