#include "ConsoleRecording.h"

#include "Leftovers.h"
#include "Prompt.h"

namespace console {
namespace {

// Leftover segments named in the question before the rest is counted.
constexpr int kLeftoversNamed = 5;

}  // namespace

QString RecordingFaultText(const record::LogStatus& status) {
    const record::LogFault& fault = status.lastFault;
    QString text;
    switch (fault.kind) {
        case record::LogFault::Kind::Create:
            text = QStringLiteral("警告：无法创建录制文件 %1：%2").arg(fault.path, fault.reason);
            break;
        case record::LogFault::Kind::Write:
            text = QStringLiteral("警告：录制文件 %1 写入失败：%2").arg(fault.path, fault.reason);
            break;
        case record::LogFault::Kind::Pack:
            text = QStringLiteral("警告：录制文件 %1 打包失败：%2，文件保留在磁盘上")
                       .arg(fault.path, fault.reason);
            break;
        case record::LogFault::Kind::Keep:
            text = QStringLiteral("警告：录制文件 %1 无法打包（%2），已改名为 %3")
                       .arg(fault.path, fault.reason, fault.keptAs);
            break;
        case record::LogFault::Kind::None:
            break;
    }
    if (status.lostBytes > 0)
        text += QStringLiteral("，已丢失 %1 字节").arg(status.lostBytes);
    return text;
}

ConsoleRecording::ConsoleRecording(Prompt& prompt, int32_t segmentLimit)
    : prompt_(prompt), segmentLimit_(segmentLimit) {}

ConsoleRecording::Started ConsoleRecording::Start(const QString& chosen) {
    const QString name = record::ChangeFileExt(chosen, QStringLiteral(".Zip"));
    OfferLeftovers(name);
    // Any file of the first pass would be overwritten, a leftover segment as much as the archive.
    const QString existing = record::ExistingRecordingFile(name);
    if (!existing.isEmpty()) {
        prompt_.Message(existing + QStringLiteral(" 已经存在！"));
        return Started::Exists;
    }
    auto log = std::make_unique<record::TLogFile>(name, record::kLogBufferSize, segmentLimit_,
                                                  record::kArchiveCount);
    if (!log->HasBuffer())
        return Started::NoBuffer;
    log_ = std::move(log);
    name_ = name;
    shownFaults_ = 0;
    faultTold_ = false;
    faultText_.clear();
    return Started::Yes;
}

bool ConsoleRecording::TakeFault() {
    if (log_->Status().faults == shownFaults_)
        return false;
    shownFaults_ = log_->Status().faults;
    faultText_ = RecordingFaultText(log_->Status());
    return true;
}

bool ConsoleRecording::Write(const uint8_t* bytes, int count) {
    if (!log_)
        return false;
    log_->WriteStream(bytes, count);
    return TakeFault();
}

bool ConsoleRecording::Stop() {
    if (!log_)
        return false;
    log_->CloseLog();
    const bool failed = TakeFault();
    log_.reset();
    return failed;
}

bool ConsoleRecording::FirstFault() {
    const bool first = !faultTold_;
    faultTold_ = true;
    return first;
}

void ConsoleRecording::OfferLeftovers(const QString& fileName) {
    const record::Leftovers found = record::FindLeftovers(fileName);
    if (found.segments.isEmpty())
        return;
    QString names = found.segments.mid(0, kLeftoversNamed).join('\n');
    if (found.segments.size() > kLeftoversNamed)
        names += QStringLiteral("\n… 共 %1 个文件").arg(found.segments.size());
    const QString question =
        QStringLiteral("发现未打包的录制文件：\n%1\n是否打包到 %2？").arg(names, found.archive);
    if (prompt_.Message(question, QString(), Prompt::Icon::Question, Prompt::Buttons::YesNo) !=
        Prompt::Answer::Yes) {
        return;
    }
    QString error;
    if (!record::PackLeftovers(found, error))
        prompt_.Message(QStringLiteral("打包失败：") + error, QString(), Prompt::Icon::Warning);
}

}  // namespace console
