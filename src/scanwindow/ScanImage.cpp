#include "ScanImage.h"

#include <QMouseEvent>
#include <QPainter>

namespace scanwindow {

ScanImage::ScanImage(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ScanImage::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawImage(0, 0, target);
}

void ScanImage::mouseMoveEvent(QMouseEvent* event) {
    emit MouseMoved(event->position().toPoint().x(), event->position().toPoint().y());
}

void ScanImage::mousePressEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    emit MousePressed(event->button(), at.x(), at.y(), event->globalPosition().toPoint());
}

void ScanImage::mouseReleaseEvent(QMouseEvent*) {
    emit MouseReleased();
}

}  // namespace scanwindow
