// Undo and Redo of the Events menu.

#include "document/ui/form_main.h"

#include "capture/recording.h"
#include "document/ui/media_history.h"
#include "playback/playback_clock.h"

#include <QAction>

namespace {

class THistoryWatch final : public TProjectListener {
public:
    THistoryWatch(TProject& project, QAction* undo, QAction* redo)
        : m_project(project), m_undo(undo), m_redo(redo) {
        m_project.AddListener(this);
        HistoryChanged();
    }
    ~THistoryWatch() override { m_project.RemoveListener(this); }
    THistoryWatch(const THistoryWatch&) = delete;
    THistoryWatch& operator=(const THistoryWatch&) = delete;

    void HistoryChanged() override {
        m_undo->setEnabled(m_project.CanUndo());
        m_redo->setEnabled(m_project.CanRedo());
    }

private:
    TProject& m_project;
    QAction* m_undo;
    QAction* m_redo;
};

} // namespace

void TFormMain::CreateHistory() {
    m_mediaHistory = std::make_unique<TMediaHistory>(*this);
    m_project->SetMediaHandler(m_mediaHistory.get());
    m_historyWatch = std::make_unique<THistoryWatch>(*m_project, Action(TAppCommandId::ActionUndo),
                                                     Action(TAppCommandId::ActionRedo));
}

void TFormMain::DestroyHistory() {
    m_historyWatch.reset();
    m_project->SetMediaHandler(nullptr);
    m_mediaHistory.reset();
}

void TFormMain::ActionUndoRedoExecute(bool isUndo) {
    if (!(isUndo ? m_project->Undo() : m_project->Redo()))
        return;
    RefreshAnnotationViews();
}

// A step taken back may be of any kind (types, times, the unit, the
// filter), so everything that shows the annotation follows, as after the
// change itself.
void TFormMain::RefreshAnnotationViews() {
    RefreshTypeList();
    CaptureHost().EventListChanged();
    CaptureHost().TitleListChanged();
    Clock().RefreshAtPosition();
    CaptureHost().RepaintTimeline();
}
