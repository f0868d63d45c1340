// The Playback and Time format menus, the position slider, the status bar's
// time display, and the window side of the playback clock: timer messages,
// the views refreshed after every change of the current time, and what the
// video windows ask of the main window.

#include "document/ui/form_main.h"

#include "platform/mm_timer.h"
#include "playback/playback_clock.h"
#include "playback/ui/form_offset.h"
#include "playback/ui/form_video_list.h"
#include "views/form_time_line.h"
#include "views/video_host.h"

#include <QAction>
#include <QLabel>
#include <QSignalBlocker>
#include <QSlider>

namespace {

using Id = TAppCommandId;

std::optional<TTransportCommand> TransportCommand(TAppCommandId command) {
    switch (command) {
    case Id::ActionBegin:
        return TTransportCommand::Begin;
    case Id::ActionPrev:
        return TTransportCommand::Prev;
    case Id::ActionPlay:
        return TTransportCommand::Play;
    case Id::ActionStop:
        return TTransportCommand::Stop;
    case Id::ActionNext:
        return TTransportCommand::Next;
    case Id::ActionEnd:
        return TTransportCommand::End;
    default:
        return std::nullopt;
    }
}

} // namespace

// Each call below is the one place its view is driven from during playback.
class TFormMain::TPlaybackSide final : public TPlaybackHost, public TVideoHost, public TWindowMessageHandler {
public:
    explicit TPlaybackSide(TFormMain& form) : m_form(form) {}

    // --- TPlaybackHost ---
    void TrackBarChanged(const TTrackBar& trackBar) override {
        // The clock moved the slider itself; the slider must not report back.
        const QSignalBlocker blocker(m_form.TrackBar);
        m_form.TrackBar->setRange(0, trackBar.Maximum);
        m_form.TrackBar->setValue(trackBar.Position);
        m_form.TrackBar->setPageStep(trackBar.PageSize);
        m_form.TrackBar->setTickInterval(trackBar.TickSpacing);
        // The clock sets its first range before the secondary windows exist.
        if (m_form.FormTimeLine)
            m_form.FormTimeLine->SliderRangeChanged({0, trackBar.Maximum, trackBar.PageSize});
    }
    void SetStatusTexts(const QString& time, const QString& millisecond, const QString& frame) override {
        m_form.StatusPanels[0]->setText(time);
        m_form.StatusPanels[1]->setText(millisecond);
        m_form.StatusPanels[2]->setText(frame);
    }
    void RefreshEventList(bool incremental, bool follow) override {
        m_form.RefreshEventList(incremental, follow);
    }
    void RefreshTitleList(bool incremental, bool follow) override {
        m_form.RefreshTitleList(incremental, follow);
    }
    void RenderOutput() override { m_form.RenderOutput(); }
    void SetTimelinePosition(int32_t positionMs) override {
        m_form.FormTimeLine->SetTimelinePosition(positionMs);
    }
    void RefreshTimeline() override { m_form.FormTimeLine->RefreshTimeline(); }
    void RepaintTimeline() override { m_form.FormTimeLine->RepaintTimeline(); }
    void SetEditingEnabled(bool enabled) override { m_form.SetEditingEnabled(enabled); }
    bool IsTrackBarHeld() const override { return m_form.TrackBar->isSliderDown(); }
    void PostTimerMessage(uint32_t wParam) override { PostWindowMessage(&m_form, WM_TIMER, wParam, 0); }

    // --- TVideoHost ---
    bool IsInserting() const override { return m_form.Action(Id::ActionEventsInserting)->isChecked(); }
    bool IsMouseMode() const override { return m_form.Action(Id::ActionEventMouse)->isChecked(); }
    int32_t MouseTemplateType() const override { return m_form.MouseTemplate.EventType; }
    QString MouseTemplateText() const override { return m_form.MouseTemplate.Text; }
    TParameters MouseTemplateParameters() const override { return m_form.MouseTemplate.Parameters; }
    QString EventTypeName(int32_t typeIndex) const override {
        const TEventTypes& types = m_form.Project().EventTypes;
        return types.IsValidIndex(typeIndex) ? types[typeIndex].Name : QString();
    }
    void RecordEventNow(int32_t typeIndex, const QString& text, const TParameterNames* ignoredNames,
                        bool replaceSameTime, const TParameters& parameters) override {
        m_form.RecordEventNow(typeIndex, text, ignoredNames, replaceSameTime, parameters);
    }
    // A moved rectangle rewrote its event's parameters in place.
    void ChangeEventParameters(const TEvent* event, const TParameters& parameters) override {
        if (event)
            m_form.Project().ChangeEvent(event, event->EventType, event->Text, parameters);
    }
    void DragStarted() override { m_form.Project().BeginJoinedStep(); }
    void DragEnded() override { m_form.Project().EndJoinedStep(); }
    void FillEventGrid(bool follow) override {
        m_form.FillEventGrid(follow);
        m_form.FormTimeLine->LabelsChanged();
    }
    void PreviewShown() override { m_form.RenderOutput(); }

    // --- TWindowMessageHandler ---
    // The message value carries the clock's playback generation as well as
    // the index; the clock decodes both.
    void VideoTick(int32_t groupIndex) override {
        m_form.Clock().HandleTimerMessage(static_cast<uint32_t>(groupIndex));
    }
    void AudioStart(int32_t outputIndex) override {
        m_form.Clock().HandleTimerMessage(static_cast<uint32_t>(outputIndex) | TimerMessage::AudioBit);
    }
    void AudioBufferDone(uint32_t device) override { m_form.Clock().HandleAudioBufferDone(device); }

private:
    TFormMain& m_form;
};

void TFormMain::TPlaybackSideDeleter::operator()(TPlaybackSide* side) const {
    delete side;
}

void TFormMain::CreatePlayback() {
    if (!m_timer)
        m_timer = std::make_unique<TThreadMMTimer>();
    if (!m_audioSystem)
        m_audioSystem = CreateAudioSystem();
    // Runs on the device's thread: posting is all it may do.
    m_audioOutput = std::make_unique<TAudioOutput>(*m_audioSystem, [this](TAudioDeviceHandle device) {
        PostWindowMessage(this, MM_WOM_DONE, device, 0);
    });
    m_playbackSide.reset(new TPlaybackSide(*this));
    m_videoList = std::make_unique<TFormVideoList>(this, m_playbackSide.get());
    m_clock = std::make_unique<TPlaybackClock>(*m_project, *m_videoList, *m_playbackSide, *m_timer,
                                               m_audioOutput.get());
    m_messageHandler = m_playbackSide.get();
    m_videoWindows = [this] {
        std::vector<QWidget*> windows;
        for (int32_t i = 0; i < m_videoList->Count(); ++i)
            windows.push_back(&m_videoList->Window(i));
        return windows;
    };
    ConnectPlayback();
    ConnectMediaMenu();
    SetGoToTime([this](int32_t time, bool fromUser) { m_clock->GoToTime(time, fromUser); });
    m_clock->Reset();
}

void TFormMain::DestroyPlayback() {
    // Timers first: nothing may post to this window once it goes.
    if (m_clock)
        m_clock->Stop(false);
    m_messageHandler = nullptr;
    m_videoWindows = nullptr;
    m_clock.reset();
    m_audioOutput.reset();
    m_videoList.reset();
    m_timer.reset();
    m_audioSystem.reset();
    m_playbackSide.reset();
}

void TFormMain::ConnectPlayback() {
    for (Id id :
         {Id::ActionBegin, Id::ActionPrev, Id::ActionPlay, Id::ActionStop, Id::ActionNext, Id::ActionEnd})
        ConnectCommand(id, [this, id] { ActionPlaybackExecute(id); });
    // Also when a reset or a new medium unticks the option.
    connect(Action(Id::ActionDoubleBuffering), &QAction::toggled, this,
            [this] { Execute([this] { ActionDoubleBufferingExecute(); }); });
    ConnectCommand(Id::ActionGoto, [this] { ActionGotoExecute(); });
    ConnectCommand(Id::ActionSpeed, [this] { ActionSpeedExecute(); });
    ConnectCommand(Id::ActionStep, [this] { ActionStepExecute(); });
    connect(TrackBar, &QSlider::valueChanged, this,
            [this](int position) { Execute([this, position] { Clock().SetPosition(position); }); });
    connect(TrackBar, &QSlider::sliderReleased, this,
            [this] { Execute([this] { Clock().TrackBarReleased(); }); });
    connect(MenuTimeFormatMilliseconds, &QAction::triggered, this,
            [this] { Execute([this] { MenuTimeFormatMillisecondsClick(TTimeFormat::Milliseconds); }); });
    connect(MenuTimeFormatFrames, &QAction::triggered, this,
            [this] { Execute([this] { MenuTimeFormatMillisecondsClick(TTimeFormat::Frames); }); });
}

void TFormMain::ActionPlaybackExecute(TAppCommandId command) {
    if (const auto transport = TransportCommand(command))
        Clock().ExecuteTransport(*transport);
}

void TFormMain::ActionDoubleBufferingExecute() {
    // The output window composes from the video windows' buffers, so they
    // keep buffering while it is shown whatever the option says.
    VideoList().SetDoubleBuffering(Action(Id::ActionDoubleBuffering)->isChecked() ||
                                   IsToolWindowTicked(TToolWindow::Output));
    VideoList().RepaintAll();
}

void TFormMain::ActionGotoExecute() {
    int32_t value = Clock().CurrentTime();
    if (FormOffset->AskInteger(value, Clock().GotoCaption()))
        Clock().GoToTime(value, true);
}

void TFormMain::ActionSpeedExecute() {
    int32_t value = Clock().PlaybackSpeed();
    if (FormOffset->AskInteger(value, QStringLiteral("Playback speed (1% - 500%)")))
        Clock().SetPlaybackSpeed(value);
}

void TFormMain::ActionStepExecute() {
    int32_t value = Clock().StepFrames();
    if (FormOffset->AskInteger(value, QStringLiteral("Forward/backward step (1 - 100 frames)")))
        Clock().SetStepFrames(value);
}

void TFormMain::MenuTimeFormatMillisecondsClick(TTimeFormat target) {
    Clock().SwitchTimeFormat(target);
}
