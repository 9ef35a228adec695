#pragma once
// The animated connection indicator at the right of the menu bar: an
// envelope that swings through frames 0 to 6 and back every 300 ms while
// a command runs. A click asks to abort the connection.

#include <QTimer>
#include <QWidget>

#include "app/NewMailState.h"

namespace corvina {

class ConnectionIndicator : public QWidget {
    Q_OBJECT

public:
    explicit ConnectionIndicator(QWidget* parent = nullptr);
    ~ConnectionIndicator() override;

    void Start();
    void Stop();
    bool Running() const { return timer_.isActive(); }
    int Frame() const { return frames_.Frame(); }
    // One step of the animation (the timer's tick).
    void Step();

    QSize sizeHint() const override { return {26, 22}; }

signals:
    void FrameStepped(int frame);
    void Clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    QTimer timer_;
    IndicatorFrames frames_;
};

}  // namespace corvina
