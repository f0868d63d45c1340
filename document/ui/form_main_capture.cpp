// Recording on the main window: the event commands and their buttons, the
// handler every event key and button runs, mouse mode's recording, and the
// refreshes that follow a change of the events or titles.

#include "document/ui/form_main.h"

#include "capture/event_commands.h"
#include "capture/recording.h"
#include "capture/ui/form_event_buttons.h"
#include "playback/playback_clock.h"
#include "views/form_time_line.h"
#include "views/list_grids.h"

#include <QAction>
#include <QCheckBox>
#include <QScrollBar>

namespace {

using Id = TAppCommandId;

} // namespace

class TFormMain::TCaptureSide final : public TCaptureHost {
public:
    explicit TCaptureSide(TFormMain& form) : m_form(form) {}

    // A list scrolled to its newest rows stays there: an event just
    // recorded shows at once, not only after the next playback tick or a
    // scroll by hand. A list the user scrolled back keeps its place.
    void EventListChanged() override {
        QScrollBar& bar = *m_form.ScrollBarMessages;
        const bool isAtNewest = bar.value() >= bar.maximum();
        m_form.m_eventList->State().ResetCursor();
        m_form.RefreshEventList(false, false);
        if (isAtNewest && bar.value() < bar.maximum())
            bar.setValue(bar.maximum());
    }
    void TitleListChanged() override {
        m_form.m_titleList->State().ResetCursor();
        m_form.RefreshTitleList(false, false);
    }
    void RepaintTimeline() override { m_form.FormTimeLine->RepaintTimeline(); }
    bool IsDrawOn() const override { return m_form.CheckBoxEventsDraw->isChecked(); }
    void RepaintAll() override { m_form.RepaintVideoWindows(); }

private:
    TFormMain& m_form;
};

void TFormMain::TCaptureSideDeleter::operator()(TCaptureSide* side) const {
    delete side;
}

void TFormMain::CreateCapture() {
    m_captureSide.reset(new TCaptureSide(*this));
}

TCaptureHost& TFormMain::CaptureHost() {
    return *m_captureSide;
}

void TFormMain::RebuildEventCommands() {
    for (QAction* action : m_eventActions)
        delete action;
    m_eventActions.clear();
    m_eventCommands = ::RebuildEventCommands(m_project->EventTypes, m_project->Groups);

    std::vector<QAction*> buttons;
    for (const TEventCommand& command : m_eventCommands.Commands) {
        auto* action = new QAction(command.Caption, this);
        action->setObjectName(command.Name);
        const uint32_t tag = command.Tag;
        connect(action, &QAction::triggered, this,
                [this, tag] { Execute([this, tag] { ActionEventExecute(tag); }); });
        m_eventActions.push_back(action);
        if (command.ButtonIndex >= 0)
            buttons.push_back(action);
    }
    FormEventButtons->SetButtons(buttons);
}

const TEvent* TFormMain::ActionEventExecute(uint32_t tag) {
    return ExecuteEventCommand(*m_project, CaptureHost(), tag, Action(Id::ActionEventsInserting)->isChecked(),
                               Clock().CurrentTime());
}

const TEvent* TFormMain::RecordEventNow(int32_t typeIndex, const QString& text,
                                        const TParameterNames* ignoredNames, bool replaceSameTime,
                                        const TParameters& parameters) {
    return ::RecordEventNow(*m_project, CaptureHost(), Action(Id::ActionEventsInserting)->isChecked(),
                            Clock().CurrentTime(), typeIndex, text, ignoredNames, replaceSameTime,
                            parameters);
}
