#pragma once
// One value of the header pane: selectable text that is elided at the
// right when the pane is too narrow, with the whole text as its tooltip.

#include <QLabel>

namespace corvina {

class HeaderLine : public QLabel {
public:
    explicit HeaderLine(QWidget* parent = nullptr);

    void SetFullText(const QString& text);
    const QString& FullText() const { return full_; }
    bool Elided() const { return elided_; }

    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void Elide();

    QString full_;
    bool elided_ = false;
};

}  // namespace corvina
