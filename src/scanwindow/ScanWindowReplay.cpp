// TScanWindow's replay of a recording: the timeline under the view, the speed and play
// controls, the keys, and the timer that plays; the rules are RecordingReplay's.

#include "ScanWindow.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QScrollBar>
#include <QShortcut>
#include <QSlider>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>

#include "Interaction.h"
#include "Prompt.h"
#include "ScannerInterface.h"

namespace scanwindow {

namespace {

constexpr int kReplayTickMs = 20;

constexpr record::PlaybackSpeed kReplaySpeeds[] = {
    record::PlaybackSpeed::X1, record::PlaybackSpeed::X2, record::PlaybackSpeed::X5,
    record::PlaybackSpeed::X20, record::PlaybackSpeed::Max};

}  // namespace

void TScanWindow::BuildReplayControls() {
    sldTimeline = new QSlider(Qt::Horizontal, this);
    sldTimeline->setRange(0, RecordingReplay::kTimelineSteps);
    sldTimeline->setPageStep(RecordingReplay::kTimelineSteps / 100);
    sldTimeline->setFocusPolicy(Qt::NoFocus);
    sldTimeline->setVisible(false);
    connect(sldTimeline, &QSlider::valueChanged, this, &TScanWindow::sldTimelineChange);
    // A segment is loaded for the time-axis views once the drag ends.
    connect(sldTimeline, &QSlider::sliderReleased, this, [this] {
        if (replaying_)
            ShowReplayed(true);
    });

    ReplayPlayAction = new QAction(QStringLiteral("播放"), this);
    ReplayPlayAction->setToolTip(QStringLiteral("播放/暂停 (空格)"));
    ReplayPlayAction->setVisible(false);
    connect(ReplayPlayAction, &QAction::triggered, this, &TScanWindow::ReplayPlayExecute);
    cbxReplaySpeed = new QComboBox(this);
    for (const record::PlaybackSpeed speed : kReplaySpeeds)
        cbxReplaySpeed->addItem(QString::fromUtf8(record::PlaybackSpeedText(speed)));
    cbxReplaySpeed->setToolTip(QStringLiteral("回放速度"));
    cbxReplaySpeed->setFocusPolicy(Qt::NoFocus);
    // A child of the window until a replay puts it on the toolbar; shown, it would cover the
    // toolbar's first buttons.
    cbxReplaySpeed->setVisible(false);
    connect(cbxReplaySpeed, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            [this](int i) {
                if (i >= 0)
                    SetReplaySpeed(kReplaySpeeds[i]);
            });

    lblReplayPosition = new QLabel(statMain);
    lblReplayPosition->setFrameShape(QFrame::Panel);
    lblReplayPosition->setFrameShadow(QFrame::Sunken);
    lblReplayPosition->setVisible(false);
    statMain->addWidget(lblReplayPosition);

    const std::pair<int, std::function<void()>> keys[] = {
        {Qt::Key_PageDown, [this] { ReplayMoveExecute(ReplayMove::NextSegment); }},
        {Qt::Key_PageUp, [this] { ReplayMoveExecute(ReplayMove::PreviousSegment); }},
        {Qt::Key_Home, [this] { ReplayMoveExecute(ReplayMove::First); }},
        {Qt::Key_End, [this] { ReplayMoveExecute(ReplayMove::Last); }},
        {Qt::Key_Right, [this] { ReplayMoveExecute(ReplayMove::Next); }},
        {Qt::Key_Left, [this] { ReplayMoveExecute(ReplayMove::Previous); }},
        {Qt::Key_Space, [this] { ReplayPlayExecute(); }},
    };
    for (const auto& [key, handler] : keys) {
        auto* shortcut = new QShortcut(QKeySequence(key), this);
        shortcut->setEnabled(false);
        connect(shortcut, &QShortcut::activated, this, handler);
        replayKeys_.push_back(shortcut);
    }

    tmrReplay = new QTimer(this);
    tmrReplay->setInterval(kReplayTickMs);
    tmrReplay->setTimerType(Qt::PreciseTimer);
    connect(tmrReplay, &QTimer::timeout, this, &TScanWindow::tmrReplayTimer);
}

bool TScanWindow::StartReplay(const QString& path, QString& error) {
    tmrReplay->stop();
    replaying_.reset();
    replaying_ = RecordingReplay::Open(path, settings.distanceLimit, error);
    ShowReplayControls(replaying_ != nullptr);
    if (!replaying_)
        return false;
    replayClock_.start();
    replaying_->SetBaud(replayBaud > 0 ? replayBaud : settings.baudRate, ReplayNow());
    replaying_->SetSpeed(kReplaySpeeds[std::max(cbxReplaySpeed->currentIndex(), 0)], ReplayNow());
    // The buffer holds the opened segment once the window has loaded it.
    replaySegment_ = replaying_->OpenedSegment();
    ShowReplayPosition();
    ShowReplayPlaying();
    tmrReplay->start();
    return true;
}

void TScanWindow::StopReplay() {
    tmrReplay->stop();
    replaying_.reset();
    ShowReplayControls(false);
}

void TScanWindow::ShowReplayControls(bool open) {
    // Placed after the window's own buttons once a replay is first shown.
    if (open && !replaySpeedItem_) {
        tlbMain->insertAction(toolbarEnd_, ReplayPlayAction);
        replaySpeedItem_ = tlbMain->insertWidget(toolbarEnd_, cbxReplaySpeed);
    }
    ReplayPlayAction->setVisible(open);
    if (replaySpeedItem_)
        replaySpeedItem_->setVisible(open);
    sldTimeline->setVisible(open);
    lblReplayPosition->setVisible(open);
    for (QShortcut* key : replayKeys_) key->setEnabled(open);
    revolutionPoints_.clear();
    segmentMarkers_.clear();
    replaySegment_ = -1;
}

double TScanWindow::ReplayNow() const {
    return static_cast<double>(replayClock_.nsecsElapsed()) / 1e9;
}

bool TScanWindow::DrawsReplayedRevolution() const {
    return replaying_ && !HasTimeAxis(settings.viewType);
}

void TScanWindow::ReplayMoveExecute(ReplayMove move) {
    if (!replaying_ || ViewBusy())
        return;
    // Stepping is for the views that show whole revolutions.
    const bool step = move == ReplayMove::Next || move == ReplayMove::Previous;
    if (step && settings.viewType == vykgraph::kViewData)
        return;
    if (replaying_->Move(move, ReplayNow())) {
        ShowReplayed(true);
    } else if (!replaying_->Error().isEmpty()) {
        prompt_->Message(replaying_->Error(), QString(), Prompt::Icon::Warning);
    }
}

void TScanWindow::ReplayPlayExecute() {
    if (!replaying_)
        return;
    if (replaying_->Playing())
        replaying_->Pause();
    else
        replaying_->Play(ReplayNow());
    ShowReplayPlaying();
}

void TScanWindow::SetReplaySpeed(record::PlaybackSpeed speed) {
    if (replaying_)
        replaying_->SetSpeed(speed, ReplayNow());
}

void TScanWindow::AskReplayBaudExecute() {
    int baud = replayBaud > 0 ? replayBaud : settings.baudRate;
    if (!AskReplayBaud(*prompt_, baud))
        return;
    replayBaud = baud;
    if (replaying_) {
        replaying_->SetBaud(baud, ReplayNow());
        ShowReplayPosition();
    }
}

void TScanWindow::sldTimelineChange(int step) {
    if (!timelineGuard_ || !replaying_ || ViewBusy())
        return;
    if (!replaying_->SeekTimeline(step, ReplayNow())) {
        if (!replaying_->Error().isEmpty())
            prompt_->Message(replaying_->Error(), QString(), Prompt::Icon::Warning);
        return;
    }
    // While dragging, a time-axis view waits for the release to load another segment.
    ShowReplayed(!sldTimeline->isSliderDown());
}

void TScanWindow::tmrReplayTimer() {
    if (!replaying_ || ViewBusy())
        return;
    const bool first = replaying_->Revolution() < 0;
    const ReplayTick tick = replaying_->Tick(ReplayNow());
    if (tick.shown) {
        // The first revolution leaves the opened segment's view as it was loaded.
        ShowReplayed(!first);
    } else if (tick.grew) {
        ShowReplayPosition();
    }
    if (tick.ended) {
        ShowReplayPlaying();
        if (!replaying_->Error().isEmpty())
            prompt_->Message(replaying_->Error(), QString(), Prompt::Icon::Warning);
    }
}

void TScanWindow::ShowReplayed(bool moved) {
    const std::vector<ScanPoint>& samples = replaying_->Samples();
    if (samples.empty())
        return;
    if (HasTimeAxis(settings.viewType)) {
        if (moved) {
            const int k = replaying_->Segment();
            if (k != replaySegment_)
                LoadReplaySegment(k);
            const size_t i =
                static_cast<size_t>(replaying_->Revolution() - replaying_->Index().FirstOf(k));
            if (i < segmentMarkers_.size())
                store.viewStart = segmentMarkers_[i];
        }
    } else {
        revolutionPoints_.assign(1, ScanPoint{});
        revolutionPoints_.insert(revolutionPoints_.end(), samples.begin(), samples.end());
        // The recording's last revolution ends with the stream, not with a marker.
        if (samples.size() < 2 || samples.back().angle != scanner::kInfoZeroDegree)
            revolutionPoints_.push_back(samples.front());
    }
    RedrawView();
    ShowReplayPosition();
}

void TScanWindow::LoadReplaySegment(int k) {
    QString error;
    const int count =
        replaying_->DecodeSegment(k, store.pointBuffer.data(), store.pointCapacity, error);
    replaySegment_ = k;
    store.pointCount = std::max(count, 0);
    store.viewStart = 0;
    segmentMarkers_.clear();
    for (int i = 0; i < store.pointCount; ++i) {
        if (store.pointBuffer[static_cast<size_t>(i)].angle == scanner::kInfoZeroDegree)
            segmentMarkers_.push_back(i);
    }
    statPanels[7]->setText(replaying_->SegmentText(k));
    // A narrow bar cuts the path; its whole text is at hand.
    statPanels[7]->setToolTip(statPanels[7]->text());
    SetScrollPosition(0);
    if (count < 0)
        prompt_->Message(error, QString(), Prompt::Icon::Warning);
}

void TScanWindow::ShowReplayPosition() {
    if (!replaying_)
        return;
    lblReplayPosition->setText(replaying_->PositionText());
    if (sldTimeline->isSliderDown())
        return;
    timelineGuard_ = false;
    sldTimeline->setValue(replaying_->TimelineStep());
    timelineGuard_ = true;
}

void TScanWindow::ShowReplayPlaying() {
    ReplayPlayAction->setText(replaying_ && replaying_->Playing() ? QStringLiteral("暂停")
                                                                  : QStringLiteral("播放"));
}

}  // namespace scanwindow
