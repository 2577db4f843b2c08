#include "StatusTexts.h"

#include "ScannerInterface.h"

namespace scanwindow {

QString PortStatusText(bool open, int portNumber, int baudRate) {
    return open ? QString::asprintf("COM%d:%d", portNumber, baudRate)
                : QStringLiteral("COM Closed");
}

QString ZoomStatusText(int timeZoom) {
    return QString::asprintf("%d,%d", timeZoom, 0);
}

QString PointStatusText(int pointCount, float pointRate) {
    if (pointCount > 50000)
        return QString::asprintf("%dK,%0.2fK", pointCount >> 10, double(pointRate));
    return QString::asprintf("%d,%0.2fK", pointCount, double(pointRate));
}

QString ByteStatusText(int64_t total, float byteRate) {
    if (total > 1200000) {
        return QString::asprintf("%0.2fM,%0.2fk/s", (total >> 10) / 1024.0, double(byteRate));
    }
    if (total > 50000)
        return QString::asprintf("%dK,%0.2fk/s", int(total >> 10), double(byteRate));
    return QString::asprintf("%d,%0.2fk/s", int(total), double(byteRate));
}

QString UnsetValueText() {
    return QString::asprintf("%0.2f", 0.0);
}

QString ReferenceText(int referenceDistance, int referenceAngle) {
    return QString::fromUtf8("距离:%1cm 角度:%2               ")
        .arg(referenceDistance)
        .arg(referenceAngle / 16.0, 0, 'f', 2);
}

QString SampleText(const ScanPoint& point) {
    const int angle = point.angle;
    if (angle <= scanner::kMaxMeasurementAngle) {
        return QString::fromUtf8("距离:%1cm 角度 %2                   ")
            .arg(point.distance)
            .arg(angle / 16.0, 0, 'f', 2);
    }
    if (angle < scanner::kInfoMarkLast) {
        return QString::fromUtf8("分度盘 %1 角度 %2                   ")
            .arg(angle - scanner::kInfoFirst)
            .arg(point.distance / 8.0, 0, 'f', 2);
    }
    if (angle == scanner::kInfoZeroDegree)
        return QString::fromUtf8("0度 分度盘      ");
    return QStringLiteral("%1      ").arg(angle);
}

}  // namespace scanwindow
