// The editing commands of the Events and Titles menus and of the panels'
// buttons, the previous and next event commands, and mouse mode. The rules
// live in capture/editing.h; here are the dialogs, the questions and the
// controls they read.

#include "document/ui/form_main.h"

#include "capture/editing.h"
#include "capture/recording.h"
#include "capture/ui/form_filter.h"
#include "capture/ui/form_message.h"
#include "capture/ui/form_title.h"
#include "playback/playback_clock.h"
#include "playback/ui/form_offset.h"
#include "playback/ui/form_video_list.h"
#include "views/form_video.h"

#include <QAction>
#include <QLineEdit>
#include <set>

namespace {

using Id = TAppCommandId;

const TEvent* EventAt(const TProject& project, int32_t index) {
    return index < 0 ? nullptr : project.Events()[static_cast<std::size_t>(index)];
}

const TTitle* TitleAt(const TProject& project, int32_t index) {
    return index < 0 ? nullptr : project.Titles[static_cast<std::size_t>(index)];
}

// Follows one event while its dialog is open: playback goes on behind a
// modal dialog, and a mouse-mode drag still in progress records at every
// frame, replacing events of the same time; the event being edited may be
// among them.
class TEventWatch final : public TProjectListener {
public:
    TEventWatch(TProject& project, const TEvent* event) : m_project(project), m_event(event) {
        m_project.AddListener(this);
    }
    ~TEventWatch() override { m_project.RemoveListener(this); }
    TEventWatch(const TEventWatch&) = delete;
    TEventWatch& operator=(const TEventWatch&) = delete;

    // Null once the event has left the list.
    const TEvent* Event() const { return m_isInList ? m_event : nullptr; }

    void EventInserted(const TEvent* event) override {
        if (event == m_event)
            m_isInList = true;
    }
    void EventRemoving(const TEvent* event) override {
        if (event == m_event)
            m_isInList = false;
    }
    void EventsClearing() override { m_isInList = false; }

private:
    TProject& m_project;
    const TEvent* m_event;
    bool m_isInList = true;
};

} // namespace

void TFormMain::ConnectEditing() {
    const std::initializer_list<std::pair<Id, void (TFormMain::*)()>> handlers{
        {Id::ActionEventsInsertText, &TFormMain::ActionEventsInsertTextExecute},
        {Id::ActionEventsModify, &TFormMain::ActionEventsModifyExecute},
        {Id::ActionEventsDelete, &TFormMain::ActionEventsDeleteExecute},
        {Id::ActionEventsClear, &TFormMain::ActionEventsClearExecute},
        {Id::ActionEventsOffset, &TFormMain::ActionEventsOffsetExecute},
        {Id::ActionEventsFilter, &TFormMain::ActionEventsFilterExecute},
        {Id::ActionPrevEvent, &TFormMain::ActionPrevEventExecute},
        {Id::ActionNextEvent, &TFormMain::ActionNextEventExecute},
        {Id::ActionTitlesInsertText, &TFormMain::ActionTitlesInsertTextExecute},
        {Id::ActionTitlesModify, &TFormMain::ActionTitlesModifyExecute},
        {Id::ActionTitlesDelete, &TFormMain::ActionTitlesDeleteExecute},
        {Id::ActionTitlesClear, &TFormMain::ActionTitlesClearExecute},
        {Id::ActionTitlesOffset, &TFormMain::ActionTitlesOffsetExecute},
    };
    for (const auto& [id, handler] : handlers)
        ConnectCommand(id, [this, handler] { (this->*handler)(); });

    // A checkable action has already flipped its tick when it reports the
    // trigger; mouse mode decides the tick itself (a cancelled or refused
    // template leaves it off), so the flip is undone first.
    QAction* mouseMode = Action(Id::ActionEventMouse);
    connect(mouseMode, &QAction::triggered, this, [this, mouseMode](bool checked) {
        mouseMode->setChecked(!checked);
        Execute([this] { ActionEventMouseExecute(); });
    });

    connect(EditEventText, &QLineEdit::returnPressed, Action(Id::ActionEventsInsertText), &QAction::trigger);
    connect(EditTitleText, &QLineEdit::returnPressed, Action(Id::ActionTitlesInsertText), &QAction::trigger);
}

void TFormMain::ActionEventsInsertTextExecute() {
    if (InsertEventText(*m_project, CaptureHost(), Action(Id::ActionEventsInserting)->isChecked(),
                        EventAt(*m_project, SelectedEventIndex()), EditEventText->text()))
        EditEventText->selectAll();
}

void TFormMain::ActionEventsModifyExecute() {
    const TEvent* event = EventAt(*m_project, SelectedEventIndex());
    if (!event)
        return;
    TEventEdit edit{event->Time, event->EventType, event->Text, event->Parameters, false};
    const TEventWatch watch(*m_project, event);
    if (FormMessage->EditEvent(edit) && watch.Event())
        ModifyEvent(*m_project, CaptureHost(), watch.Event(), edit);
}

void TFormMain::ActionEventsDeleteExecute() {
    if (!Dialogs().AskYesNo(this, QStringLiteral("Delete selected event?")))
        return;
    DeleteSelectedEvent(*m_project, CaptureHost(), EventAt(*m_project, SelectedEventIndex()));
}

void TFormMain::ActionEventsClearExecute() {
    if (Dialogs().AskYesNo(this, QStringLiteral("Clear all events?")))
        ClearAllEvents(*m_project, CaptureHost());
}

void TFormMain::ActionEventsOffsetExecute() {
    int32_t delta = 0;
    if (FormOffset->AskInteger(delta, QStringLiteral("Offset")))
        OffsetEvents(*m_project, CaptureHost(), delta);
}

void TFormMain::ActionEventsFilterExecute() {
    std::set<int32_t> filtered = m_project->FilteredTypes;
    if (!FormFilter->AskFilteredTypes(filtered))
        return;
    m_project->SetFilteredTypes(std::move(filtered));
    CaptureHost().EventListChanged();
    CaptureHost().RepaintAll();
}

void TFormMain::ActionPrevEventExecute() {
    if (const auto time = PreviousEventTime(m_project->Events(), Clock().CurrentTime()))
        Clock().GoToTime(*time, true);
}

void TFormMain::ActionNextEventExecute() {
    if (const auto time = NextEventTime(m_project->Events(), Clock().CurrentTime()))
        Clock().GoToTime(*time, true);
}

void TFormMain::ActionTitlesInsertTextExecute() {
    if (InsertTitle(*m_project, CaptureHost(), Action(Id::ActionTitlesInserting)->isChecked(),
                    Clock().CurrentTime(), EditTitleText->text()))
        EditTitleText->selectAll();
}

void TFormMain::ActionTitlesModifyExecute() {
    const TTitle* title = TitleAt(*m_project, SelectedTitleIndex());
    if (!title)
        return;
    int32_t time = title->Time;
    QString text = title->Text;
    if (FormTitle->EditTitle(time, text))
        ModifyTitle(*m_project, CaptureHost(), title, time, text);
}

void TFormMain::ActionTitlesDeleteExecute() {
    if (!Dialogs().AskYesNo(this, QStringLiteral("Delete selected title?")))
        return;
    if (m_project->DeleteTitle(TitleAt(*m_project, SelectedTitleIndex())))
        CaptureHost().TitleListChanged();
}

void TFormMain::ActionTitlesClearExecute() {
    if (!Dialogs().AskYesNo(this, QStringLiteral("Clear all titles?")))
        return;
    m_project->ClearTitles();
    // The cursor pointed into the list just emptied.
    CaptureHost().TitleListChanged();
}

void TFormMain::ActionTitlesOffsetExecute() {
    int32_t delta = 0;
    if (FormOffset->AskInteger(delta, QStringLiteral("Offset")))
        OffsetTitles(*m_project, CaptureHost(), delta);
}

void TFormMain::ActionEventMouseExecute() {
    QAction* mouseMode = Action(Id::ActionEventMouse);
    if (mouseMode->isChecked()) {
        mouseMode->setChecked(false);
        for (int32_t i = 0; i < VideoList().Count(); ++i)
            VideoList().Window(i).EndMouseInteraction();
        return;
    }
    // With no type the dialog could offer nothing to record.
    if (m_project->EventTypes.Count() == 0) {
        ShowMessage(MouseModeRefusal(m_project->EventTypes, MouseTemplate.EventType));
        return;
    }
    TEventEdit edit{0, MouseTemplate.EventType, MouseTemplate.Text, MouseTemplate.Parameters, false};
    if (!FormMessage->EditEvent(edit, TEventDialogUse::MouseTemplate))
        return;
    MouseTemplate.EventType = edit.TypeIndex;
    MouseTemplate.Text = edit.Text;
    MouseTemplate.Parameters = edit.Parameters;
    const QString refusal = MouseModeRefusal(m_project->EventTypes, MouseTemplate.EventType);
    if (!refusal.isEmpty()) {
        ShowMessage(refusal);
        return;
    }
    mouseMode->setChecked(true);
}

void TFormMain::MouseTemplateTypeDeleted(int32_t typeIndex) {
    int32_t& type = MouseTemplate.EventType;
    if (type > typeIndex) {
        --type;
        return;
    }
    if (type != typeIndex)
        return;
    type = -1;
    if (Action(Id::ActionEventMouse)->isChecked())
        ActionEventMouseExecute();
}
