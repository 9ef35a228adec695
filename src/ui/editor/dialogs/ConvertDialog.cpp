#include "ui/editor/dialogs/ConvertDialog.h"

#include <QHBoxLayout>

#include "ui/editor/dialogs/DialogParts.h"

namespace corvina {

// The radio buttons are in the order of the enumerations.
ConvertDialog::ConvertDialog(const ConvertChoice& choice, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Convert"));
    letterCase_ = new RadioGroup(
        "&Case",
        {"No Conversion", "UPPER ALL", "lower all", "Upper top of line", "Upper Top Of Word"},
        static_cast<int>(choice.letterCase), this);
    spacing_ = new RadioGroup("&Tab and Space", {"No Conversion", "Tab to Space", "Space to Tab"},
                              static_cast<int>(choice.spacing), this);
    width_ = new RadioGroup("&MBCS", {"No Conversion", "MBCS to SBCS", "SBCS to MBCS"},
                            static_cast<int>(choice.width), this);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(letterCase_, 0, Qt::AlignTop);
    layout->addWidget(spacing_, 0, Qt::AlignTop);
    layout->addWidget(width_, 0, Qt::AlignTop);
    layout->addWidget(MakeOkCancel(*this), 0, Qt::AlignTop);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

ConvertChoice ConvertDialog::Choice() const {
    ConvertChoice choice;
    choice.letterCase = static_cast<CaseConversion>(letterCase_->Checked());
    choice.spacing = static_cast<SpacingConversion>(spacing_->Checked());
    choice.width = static_cast<WidthConversion>(width_->Checked());
    return choice;
}

}  // namespace corvina
