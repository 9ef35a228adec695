#include "ui/main/ConnectionIndicator.h"

#include <QMouseEvent>
#include <QPainter>

namespace corvina {

namespace {

constexpr int kFrameMs = 300;
constexpr double kDegreesPerFrame = 15.0;

}  // namespace

ConnectionIndicator::ConnectionIndicator(QWidget* parent) : QWidget(parent) {
    setObjectName("connectionIndicator");
    setToolTip(tr("Click to abort the connection"));
    setCursor(Qt::PointingHandCursor);
    timer_.setInterval(kFrameMs);
    connect(&timer_, &QTimer::timeout, this, &ConnectionIndicator::Step);
}

ConnectionIndicator::~ConnectionIndicator() = default;

void ConnectionIndicator::Start() {
    if (!timer_.isActive())
        timer_.start();
}

void ConnectionIndicator::Stop() {
    timer_.stop();
    frames_.Reset();
    update();
}

void ConnectionIndicator::Step() {
    const int frame = frames_.Step();
    if (!window()->isMinimized())
        update();
    emit FrameStepped(frame);
}

void ConnectionIndicator::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(width() / 2.0, height() / 2.0);
    painter.rotate((frames_.Frame() - IndicatorFrames::kLastFrame / 2.0) * kDegreesPerFrame *
                   (Running() ? 1 : 0));
    const QRectF body(-9, -6, 18, 12);
    painter.setPen(QPen(palette().color(QPalette::WindowText), 1.2));
    painter.setBrush(Running() ? QColor(255, 230, 140) : palette().color(QPalette::Base));
    painter.drawRect(body);
    painter.drawPolyline(QPolygonF({body.topLeft(), QPointF(0, 1), body.topRight()}));
}

void ConnectionIndicator::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        emit Clicked();
}

}  // namespace corvina
