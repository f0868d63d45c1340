// The event and title lists of the main window's panels: their cursors,
// grids and scroll bars, and the refreshes the rest of the editor calls.

#include "document/ui/form_main.h"
#include "playback/playback_clock.h"

#include "views/form_video.h"
#include "views/list_grids.h"

#include <QAction>
#include <QCheckBox>
#include <QSlider>
#include <QTableWidget>

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
    // The shapes of the active events and the graph are drawn by their own
    // parts; they plug into these two when they arrive.
    hooks.BuildOverlays = nullptr;
    hooks.DrawGraph = nullptr;
    m_eventList = std::make_unique<TEventListGrid>(*StringGridMessages, *ScrollBarMessages, *m_project,
                                                   std::move(hooks));
    m_titleList = std::make_unique<TTitleListGrid>(
        *StringGridTitles, *ScrollBarTitles, *m_project, [this] { return m_clock->CurrentTime(); },
        [this] { Action(Id::ActionTitlesModify)->trigger(); });

    connect(Action(Id::ActionEventsShowAll), &QAction::toggled, this,
            [this] { Execute([this] { FillEventGrid(false); }); });
    connect(CheckBoxEventsDraw, &QCheckBox::clicked, this, [this] {
        Execute([this] {
            RefreshEventList(false, false);
            RepaintVideoWindows();
        });
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
