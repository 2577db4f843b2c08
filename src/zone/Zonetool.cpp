#include "Zonetool.h"

#include "Prompt.h"
#include "ScannerInterface.h"
#include "TextCodec.h"

namespace {

constexpr char kNothingToSend[] = "串口为空，没法发送数据！";
constexpr char kSentPrefix[] = "send:";

QByteArray TypedCommand(const QString& text) {
    QByteArray bytes = ToGbk(text.left(TZoneTool::kMaxTypedCommand));
    for (char& c : bytes) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return bytes;
}

}  // namespace

TZoneTool::TZoneTool(CommandLink& link, Prompt& prompt, TZoneTransfer::Clock clock)
    : link_(link),
      prompt_(prompt),
      editor_(table_, prompt),
      transfer_(link, clock),
      check_(transfer_, clock) {
    editor_.beforeSave = [this] { transfer_.SendNow(scanner::kCmdMotorStop); };
    editor_.onSaved = [this](int output, int z) {
        if (setZone)
            setZone(output, table_.zones[z]);
        if (!replaying_) {
            transfer_.QueueZoneCommands(table_, z);
            check_.Saved(table_, z);
            const int total = transfer_.BeginUpload();
            if (showProgress)
                showProgress(total);
        }
        if (redraw)
            redraw();
    };
    transfer_.onSent = [this](const QByteArray& command) {
        if (log_.size() > kMaxLogLines)
            ClearLog();
        AddLog(QString::fromLatin1(command.trimmed()));
    };
    transfer_.onProgress = [this](int position) {
        if (progressPosition)
            progressPosition(position);
    };
    check_.onChecked = [this](const SaveCheckOutcome& outcome, const ZoneTable& sent) {
        if (!outcome.AllStored())
            TellNotStored(outcome, sent);
    };
}

void TZoneTool::Start() {
    editor_.ShowGroup(0);
}

void TZoneTool::cbbRectIndexChange(int index) {
    editor_.ShowGroup(index);
    for (int o = 0; o < kZoneOutputs; ++o) {
        if (setZone)
            setZone(o, table_.zones[ZoneIndex(editor_.Group(), o)]);
    }
    if (redraw)
        redraw();
}

void TZoneTool::SaveClicked(int output) {
    editor_.SaveZone(output);
}

void TZoneTool::StopClicked() {
    transfer_.SendNow(scanner::kCmdMotorStop);
}

void TZoneTool::PlayClicked() {
    transfer_.SendNow(scanner::kCmdMotorFast);
}

void TZoneTool::ReadClicked() {
    if (transfer_.SendNow(scanner::kCmdReadSettingsLine))
        check_.ReportAsked();
}

void TZoneTool::SendClicked(const QString& text) {
    if (!link_.IsOpen() || text.isEmpty()) {
        AddLog(QString::fromUtf8(kNothingToSend));
        return;
    }
    const QByteArray command = TypedCommand(text);
    transfer_.SendNow(command + scanner::kLineEnd);
    AddLog(QString::fromLatin1(kSentPrefix) + FromGbk(command));
}

bool TZoneTool::ForceOutputClicked(const QString& rateText) {
    return transfer_.ForceOutput(rateText);
}

void TZoneTool::ClearLogClicked() {
    ClearLog();
}

void TZoneTool::ClearLog() {
    log_.clear();
    if (logCleared)
        logCleared();
}

void TZoneTool::Received(const uint8_t* bytes, int count) {
    assembler_.AssembleTextLines(
        bytes, count, [this](const char* line, int length, TTextLineAssembler::LineEnd end) {
            TakeLine(line, length, end);
        });
}

void TZoneTool::Tick() {
    check_.Tick();
    transfer_.Tick();
}

void TZoneTool::Reconnected() {
    transfer_.Reconnected();
    check_.Reconnected();
}

void TZoneTool::TellNotStored(const SaveCheckOutcome& outcome, const ZoneTable& sent) {
    const QString text = SaveCheckText(outcome, sent);
    const auto tell = [this, text] { prompt_.Message(text, {}, Prompt::Icon::Warning); };
    if (later)
        later(tell);
    else
        tell();
}

void TZoneTool::AddLog(const QString& line) {
    log_ << line;
    if (log_.size() > kKeptLogLines)
        log_.removeFirst();
    if (logAppended)
        logAppended(line);
}

void TZoneTool::TakeLine(const char* line, int length, TTextLineAssembler::LineEnd end) {
    if (IsAcknowledgement(line, length, end))
        transfer_.Acknowledge();
    AddLog(QString::fromLatin1(line, length));
    const SettingsReply reply = ParseSettingsReply(line, length);
    if (check_.Take(reply))
        return;
    if (reply.kind == ReplyKind::ZoneReport) {
        ShowReport(ApplyZoneReport(table_, ZoneReportOf(reply)));
    } else if (reply.kind == ReplyKind::OutputLevels) {
        table_.IOLevel = OutputLevelsOf(reply);
        // Boxes left at their old levels would write them back with the next save.
        editor_.RefreshLevels();
        if (levelsChanged)
            levelsChanged();
    }
}

void TZoneTool::ShowReport(const ZoneReportOutcome& outcome) {
    using Kind = ZoneReportOutcome::Kind;
    if (outcome.zone < 0 || outcome.zone / kZoneOutputs != editor_.Group())
        return;
    switch (outcome.kind) {
        case Kind::Removed:
            Draw(outcome.zone);
            editor_.ShowZone(outcome.zone, true);
            break;
        case Kind::Sector:
            Draw(outcome.zone);
            editor_.ShowZone(outcome.zone, false);
            break;
        case Kind::PolygonPoint:
            if (outcome.last)
                Draw(outcome.zone);
            editor_.ShowZone(outcome.zone, true);
            break;
        default:
            break;
    }
}

void TZoneTool::Draw(int z) {
    if (setZone)
        setZone(z % kZoneOutputs, table_.zones[z]);
    if (redraw)
        redraw();
}
