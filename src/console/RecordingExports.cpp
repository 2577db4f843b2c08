#include "RecordingExports.h"

#include <QDir>
#include <QFileInfo>

#include "Prompt.h"
#include "RecordingMcap.h"
#include "RevolutionCsv.h"

namespace console {
namespace {

constexpr char kRangeCaption[] = "导出区间";
constexpr char kMcapCaption[] = "导出MCAP";

}  // namespace

RecordingExports::RecordingExports(Prompt& prompt, ExportProgressView& progress)
    : prompt_(prompt), progress_(progress) {}

void RecordingExports::ExportRange(const ReplayedRecording& replay) {
    int first = 0;
    int last = 0;
    if (!AskRange(QString::fromUtf8(kRangeCaption), replay, first, last))
        return;
    const QString path = AskFile(QString::fromUtf8(kRangeCaption),
                                 QStringLiteral("CSV 文件 (*.csv)"), QStringLiteral("csv"));
    if (path.isEmpty())
        return;
    record::RevolutionCsvOptions options;
    options.byteRate = replay.baud / 10.0;
    options.distanceLimit = distanceLimit;
    progress_.Begin(QStringLiteral("正在导出CSV文件..."));
    const record::FeedOutcome outcome = record::WriteRevolutionCsv(
        replay.set, record::RevolutionSpan::Of(replay.set, replay.index, first, last), options,
        path, [this](uint64_t done, uint64_t total) { return progress_.Report(done, total); });
    progress_.End();
    Tell(outcome, path);
}

void RecordingExports::ExportMcap(const ReplayedRecording& replay) {
    const QString caption = QString::fromUtf8(kMcapCaption);
    const bool whole =
        prompt_.Message(QStringLiteral("导出整个录制文件吗？\n选“否”可输入导出的区间。"), caption,
                        Prompt::Icon::Question, Prompt::Buttons::YesNo) == Prompt::Answer::Yes;
    int first = 0;
    int last = 0;
    if (!whole && !AskRange(caption, replay, first, last))
        return;
    const QString path =
        AskFile(caption, QStringLiteral("MCAP 文件 (*.mcap)"), QStringLiteral("mcap"));
    if (path.isEmpty())
        return;
    WriteMcap(replay.set,
              whole ? record::RevolutionSpan::Whole(replay.set)
                    : record::RevolutionSpan::Of(replay.set, replay.index, first, last),
              replay.baud, path);
}

void RecordingExports::ExportMcapOfFile(const QString& recording, int baud) {
    record::RecordingSet set;
    QString error;
    if (!set.Open(recording, error)) {
        prompt_.Message(QStringLiteral("无法打开录制文件！\n%1").arg(error), QString(),
                        Prompt::Icon::Warning);
        return;
    }
    const QString path = AskFile(QString::fromUtf8(kMcapCaption),
                                 QStringLiteral("MCAP 文件 (*.mcap)"), QStringLiteral("mcap"));
    if (!path.isEmpty())
        WriteMcap(set, record::RevolutionSpan::Whole(set), baud, path);
}

bool RecordingExports::AskRange(const QString& caption, const ReplayedRecording& replay, int& first,
                                int& last) {
    const int count = replay.index.Count();
    if (count == 0) {
        prompt_.Message(QStringLiteral("录制文件中没有找到完整的一圈数据！"), caption,
                        Prompt::Icon::Warning);
        return false;
    }
    const QString shown = QString::number(replay.shown + 1);
    const QString from =
        prompt_.Input(caption, QStringLiteral("起始圈（1 - %1）：").arg(count), shown);
    const QString to =
        prompt_.Input(caption, QStringLiteral("结束圈（1 - %1）：").arg(count), shown);
    bool fromOk = false;
    bool toOk = false;
    first = from.trimmed().toInt(&fromOk) - 1;
    last = to.trimmed().toInt(&toOk) - 1;
    if (!fromOk || !toOk || first < 0 || last < 0 || first >= count || last >= count) {
        prompt_.Message(QStringLiteral("请输入 1 到 %1 之间的圈数！").arg(count), caption,
                        Prompt::Icon::Warning);
        return false;
    }
    if (first > last) {
        prompt_.Message(QStringLiteral("起始圈不能大于结束圈！"), caption, Prompt::Icon::Warning);
        return false;
    }
    return true;
}

QString RecordingExports::AskFile(const QString& caption, const QString& filter,
                                  const QString& suffix) {
    QString path = prompt_.SaveFileName(caption, folder, filter);
    if (!path.isEmpty() && QFileInfo(path).suffix().isEmpty())
        path += '.' + suffix;
    return path;
}

void RecordingExports::WriteMcap(const record::RecordingSet& set,
                                 const record::RevolutionSpan& span, int baud,
                                 const QString& path) {
    progress_.Begin(QStringLiteral("正在导出MCAP文件..."));
    const record::FeedOutcome outcome = record::WriteRecordingMcap(
        set, span, record::RecordingMcapOptions(set, baud, distanceLimit), path,
        [this](uint64_t done, uint64_t total) { return progress_.Report(done, total); });
    progress_.End();
    if (outcome.result == record::FeedResult::Done && outcome.revolutions == 0) {
        prompt_.Message(QStringLiteral("所选范围内没有完整的一圈数据，文件中没有扫描：\n%1")
                            .arg(QDir::toNativeSeparators(path)),
                        QString::fromUtf8(kMcapCaption), Prompt::Icon::Warning);
        return;
    }
    Tell(outcome, path);
}

void RecordingExports::Tell(const record::FeedOutcome& outcome, const QString& path) {
    if (outcome.result == record::FeedResult::Failed) {
        prompt_.Message(QStringLiteral("导出失败！\n%1\n%2")
                            .arg(QDir::toNativeSeparators(path), outcome.reason),
                        QString(), Prompt::Icon::Warning);
    } else if (outcome.result == record::FeedResult::Done) {
        prompt_.Message(QStringLiteral("已导出 %1 圈：\n%2")
                            .arg(outcome.revolutions)
                            .arg(QDir::toNativeSeparators(path)),
                        QString(), Prompt::Icon::Information);
    }
}

}  // namespace console
