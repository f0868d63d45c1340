// The event and title lists of the main window's panels: their cursors,
// grids and scroll bars, and the refreshes the rest of the editor calls.

#include "document/ui/form_main.h"
#include "playback/playback_clock.h"
#include "playback/ui/form_video_list.h"

#include "views/core/event_overlays.h"
#include "views/form_graph.h"
#include "views/form_output.h"
#include "views/form_video.h"
#include "views/list_grids.h"

#include <QAction>
#include <QCheckBox>
#include <QSlider>
#include <QTableWidget>

#include <memory>

namespace {

using Id = TAppCommandId;

std::vector<TFormVideo*> AsVideoWindows(const std::vector<QWidget*>& windows) {
    std::vector<TFormVideo*> videos;
    for (QWidget* window : windows)
        if (auto* video = dynamic_cast<TFormVideo*>(window))
            videos.push_back(video);
    return videos;
}

} // namespace

void TFormMain::CreateLists() {
    TEventListHooks hooks;
    hooks.Clock = [this] {
        return TListClock{m_clock->CurrentTime(), m_project->TimeFormat, TrackBar->pageStep()};
    };
    hooks.GoToTime = [this](int32_t time, bool fromUser) {
        if (m_goToTime)
            m_goToTime(time, fromUser);
    };
    hooks.Modify = [this] { Action(Id::ActionEventsModify)->trigger(); };
    hooks.IsShowAllChecked = [this] { return Action(Id::ActionEventsShowAll)->isChecked(); };
    hooks.IsDrawChecked = [this] { return CheckBoxEventsDraw->isChecked(); };
    hooks.IsTextChecked = [this] { return CheckBoxEventsText->isChecked(); };
    hooks.IsGraphShown = [this] { return IsToolWindowTicked(TToolWindow::Graph); };
    hooks.ClearOverlays = [this] {
        for (TFormVideo* video : AsVideoWindows(VideoWindows()))
            video->ClearOverlays();
    };
    hooks.SetCaptionText = [this](const QString& caption) {
        for (TFormVideo* video : AsVideoWindows(VideoWindows()))
            video->SetCaptionText(caption);
    };
    // The scratch values live with the hook: read again for every event at
    // every tick, they keep their storage.
    hooks.BuildOverlays = [this, values = std::make_shared<TOverlayValues>()] {
        const TListClock clock{m_clock->CurrentTime(), m_project->TimeFormat, TrackBar->pageStep()};
        const auto targetFor = [this](double camera) -> TOverlayTarget* {
            for (int32_t i = 0; i < m_videoList->Count(); ++i)
                if (m_videoList->Window(i).Camera == camera)
                    return &m_videoList->Window(i);
            return nullptr;
        };
        BuildEventOverlays(*m_project, EventCursor(), clock, Action(Id::ActionDrawLast)->isChecked(),
                           targetFor, *values);
    };
    hooks.DrawGraph = [this] { DrawGraph(); };
    m_eventList = std::make_unique<TEventListGrid>(*StringGridMessages, *ScrollBarMessages, *m_project,
                                                   std::move(hooks));
    m_titleList = std::make_unique<TTitleListGrid>(
        *StringGridTitles, *ScrollBarTitles, *m_project, [this] { return m_clock->CurrentTime(); },
        [this] { Action(Id::ActionTitlesModify)->trigger(); });
    ConnectOutputAndGraph();

    connect(Action(Id::ActionEventsShowAll), &QAction::toggled, this,
            [this] { Execute([this] { FillEventGrid(false); }); });
    connect(CheckBoxEventsDraw, &QCheckBox::clicked, this, [this] {
        Execute([this] {
            RefreshEventList(false, false);
            RepaintVideoWindows();
        });
    });
    ConnectCommand(Id::ActionDrawLast, [this] {
        RefreshEventList(false, false);
        RepaintVideoWindows();
    });
    connect(CheckBoxEventsText, &QCheckBox::clicked, this, [this] {
        Execute([this] {
            for (TFormVideo* video : AsVideoWindows(VideoWindows()))
                video->SetCaptionText(QString());
            RepaintVideoWindows();
        });
    });
}

std::vector<QWidget*> TFormMain::VideoWindows() const {
    return m_videoWindows ? m_videoWindows() : std::vector<QWidget*>{};
}

void TFormMain::RepaintVideoWindows() {
    for (TFormVideo* video : AsVideoWindows(VideoWindows()))
        video->Paint();
}

void TFormMain::SetGoToTime(std::function<void(int32_t time, bool fromUser)> goToTime) {
    m_goToTime = std::move(goToTime);
}

void TFormMain::RefreshEventList(bool incremental, bool follow) {
    m_eventList->RefreshEventList(incremental, follow);
}

void TFormMain::RefreshTitleList(bool incremental, bool follow) {
    m_titleList->RefreshTitleList(incremental, follow);
}

void TFormMain::FillEventGrid(bool follow) {
    m_eventList->FillEventGrid(follow);
}

void TFormMain::FillTitleGrid(bool follow) {
    m_titleList->FillTitleGrid(follow);
}

int32_t TFormMain::SelectedEventIndex() const {
    return m_eventList->SelectedEventIndex();
}

int32_t TFormMain::SelectedTitleIndex() const {
    return m_titleList->SelectedTitleIndex();
}

int32_t TFormMain::EventCursor() const {
    return m_eventList->State().Cursor();
}

int32_t TFormMain::TitleCursor() const {
    return m_titleList->State().Cursor();
}

// --- Output and graph windows ------------------------------------------------

void TFormMain::ConnectOutputAndGraph() {
    TOutputSources sources;
    sources.EventCursor = [this] { return EventCursor(); };
    sources.VideoCount = [this] { return m_videoList->Count(); };
    sources.Video = [this](int32_t index) -> TFormVideo& { return m_videoList->Window(index); };
    FormOutput->SetSources(std::move(sources));
    FormGraph->SetErrorReporter([this](const QString& message) { ShowMessage(message); });
}

void TFormMain::RunStoppingPlayback(const std::function<void()>& draw) {
    try {
        draw();
    } catch (const std::exception&) {
        // Stopped before the report: a message box during playback would
        // be followed by one more at every tick its event loop delivers.
        if (m_clock && m_clock->IsPlaying())
            m_clock->Stop(true);
        throw;
    }
}

void TFormMain::RenderOutput() {
    if (FormOutput)
        RunStoppingPlayback([this] { FormOutput->RenderOutput(); });
}

void TFormMain::DrawGraph() {
    if (!FormGraph || !IsToolWindowTicked(TToolWindow::Graph))
        return;
    const int32_t typeCount = m_project->EventTypes.Count();
    RunStoppingPlayback([this] {
        FormGraph->DrawGraph(EventCursor(), {m_clock->CurrentTime(), TrackBar->pageStep()});
    });
    // The graph made its built-in type: the type windows list it.
    if (m_project->EventTypes.Count() != typeCount)
        RefreshTypeList();
}

void TFormMain::OutputWindowShown(bool visible) {
    if (!m_videoList || !FormOutput)
        return;
    if (visible) {
        FormOutput->ComputeNormalSize();
        FormOutput->SetZoom(ZoomNormal);
    }
    VideoList().SetDoubleBuffering(Action(Id::ActionDoubleBuffering)->isChecked() || visible);
    VideoList().RepaintAll();
    RenderOutput();
}
