#pragma once

// The control the scan is drawn on: shows the graph's target and reports the mouse.

#include <QImage>
#include <QWidget>

namespace scanwindow {

class ScanImage : public QWidget {
    Q_OBJECT
public:
    explicit ScanImage(QWidget* parent);
    QImage target;

signals:
    void MouseMoved(int x, int y);
    void MousePressed(Qt::MouseButton button, int x, int y, QPoint globalPos);
    void MouseReleased();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
};

}  // namespace scanwindow
