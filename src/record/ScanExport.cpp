#include "ScanExport.h"

#include <sys/stat.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <cerrno>
#include <charconv>

namespace record {
namespace {

constexpr int kFirstInfoCode = 5760;
const char kCompanyName[] = "VYK 激光扫描设备有限公司";
const char kWebAddress[] = "www.vyk-scanner.example";

int FindMarker(const ScanPoint* points, int from) {
    for (int i = from; i >= 1; --i) {
        if (points[i].angle == kRevolutionMarker)
            return i;
    }
    return 0;
}

bool Exported(const ScanPoint& p) {
    return p.angle < kFirstInfoCode && p.distance > 0;
}

// "%6d,     %0.3f\r\n" as C formats it, whatever the locale's decimal point.
QString Row(const ScanPoint& p) {
    const float degrees = static_cast<float>(p.angle) / 16.0f;
    char angle[32];
    const auto end = std::to_chars(angle, angle + sizeof angle, static_cast<double>(degrees),
                                   std::chars_format::fixed, 3)
                         .ptr;
    return QString::asprintf("%6d,     ", p.distance) + QLatin1String(angle, end - angle) +
           QStringLiteral("\r\n");
}

}  // namespace

bool FindExportRange(const ScanPoint* points, int count, int& start, int& end) {
    if (count <= 0)
        return false;
    end = FindMarker(points, count - 1);
    start = end > 0 ? FindMarker(points, end - 1) : 0;
    return end > 0;
}

QString ExportText(const ScanPoint* points, int count) {
    int start = 0;
    int end = 0;
    if (!FindExportRange(points, count, start, end))
        return {};
    return RevolutionText(points + start, end - start);
}

QString RevolutionText(const ScanPoint* points, int count) {
    QString rows;
    int rowCount = 0;
    for (int i = 0; i < count; ++i) {
        if (!Exported(points[i]))
            continue;
        rows += Row(points[i]);
        ++rowCount;
    }
    if (rowCount == 0)
        return {};
    QString text = QStringLiteral("\r\n") + QString::fromUtf8(kCompanyName) + "\r\n" +
                   QStringLiteral("网址:") + QString::fromUtf8(kWebAddress) + "\r\n";
    text += QStringLiteral("\r\n数据个数 ： %1 \r\n\r\n").arg(rowCount);
    text += QStringLiteral("距离(厘米)  角度\r\n");
    return text + rows;
}

QString ExportPath() {
    return QDir(QDir::tempPath()).filePath(QStringLiteral("vykdata.txt"));
}

WriteResult ReplaceOwnFile(const QString& path, const QByteArray& bytes) {
    struct stat status = {};
    if (lstat(QFile::encodeName(path).constData(), &status) != 0) {
        if (errno != ENOENT)
            return WriteResult::Failed(errno);
    } else if (S_ISDIR(status.st_mode)) {
        return WriteResult::Failed(EISDIR);
    } else if (status.st_uid != geteuid()) {
        return WriteResult::Failed(EPERM);
    } else if (!S_ISREG(status.st_mode) || status.st_nlink != 1) {
        return WriteResult::Failed(EEXIST);
    }
    // Should a link be planted after the check, the rename replaces the link, not its target.
    return ReplaceFile(path, bytes, LinkRule::ReplaceName, 0600);
}

namespace {

// The text in the locale's encoding, written and handed to open.
ExportOutcome WriteExport(const QString& text, const std::function<bool(const QString&)>& open) {
    ExportOutcome outcome;
    if (text.isEmpty())
        return outcome;
    QStringEncoder encoder(QStringConverter::System);
    outcome.path = ExportPath();
    const WriteResult written = ReplaceOwnFile(outcome.path, encoder.encode(text));
    if (!written) {
        outcome.result = ExportResult::Failed;
        outcome.reason = written.reason;
        return outcome;
    }
    open(outcome.path);
    outcome.result = ExportResult::Opened;
    return outcome;
}

}  // namespace

ExportOutcome ExportScan(const ScanPoint* points, int count,
                         const std::function<bool(const QString&)>& open) {
    return WriteExport(ExportText(points, count), open);
}

ExportOutcome ExportRevolution(const ScanPoint* samples, int count,
                               const std::function<bool(const QString&)>& open) {
    return WriteExport(RevolutionText(samples, count), open);
}

QString ExportFailedText(const ExportOutcome& outcome) {
    return QStringLiteral("导出文件写入失败！\n%1\n%2").arg(outcome.path, outcome.reason);
}

}  // namespace record
