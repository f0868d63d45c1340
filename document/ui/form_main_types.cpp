// The event type and group windows on the main window: what their changes
// refresh here, and the removal of a type with its events.

#include "document/ui/form_main.h"

#include "capture/editing.h"
#include "capture/ui/form_event.h"
#include "capture/ui/form_event_group.h"
#include "capture/ui/form_event_list.h"
#include "capture/ui/form_event_type_groups.h"
#include "capture/ui/form_secondary_key.h"
#include "views/form_time_line.h"

void TFormMain::ConnectTypeWindows() {
    FormEventList->SetTypeEditor(FormEvent);
    FormEvent->SetSecondaryKeyDialog(FormSecondaryKey);
    FormEventTypeGroups->SetGroupEditor(FormEventGroup);

    TTypeWindowHooks hooks;
    hooks.Execute = [this](const std::function<void()>& handler) { Execute(handler); };
    hooks.RefreshTypeList = [this] { RefreshTypeList(); };
    // A type's group decides its timeline row, so the rows are rebuilt, not
    // only repainted.
    hooks.RefreshEventViews = [this] {
        RefreshEventList(false, false);
        FormTimeLine->RefreshTimeline();
    };
    hooks.DeleteEventType = [this](int32_t typeIndex) {
        if (!RemoveEventsOfType(*m_project, CaptureHost(), typeIndex))
            return;
        FollowDeletedType(typeIndex);
        RefreshTypeList();
    };
    FormEventList->SetHooks(hooks);
    FormEventTypeGroups->SetHooks(std::move(hooks));
}

// Mouse mode names its type by index like the events do: without this it
// would go on to record (and label its drag) with whichever type moved into
// the deleted one's place. Losing its type ends mouse mode.
void TFormMain::FollowDeletedType(int32_t typeIndex) {
    int32_t& templateType = MouseTemplate.EventType;
    if (templateType == typeIndex) {
        templateType = -1;
        Action(TAppCommandId::ActionEventMouse)->setChecked(false);
    } else if (templateType > typeIndex) {
        --templateType;
    }
}

void TFormMain::RefreshTypeList() {
    FormEventList->RefreshTypeList();
    FormEventTypeGroups->RefreshGroupList();
    RebuildEventCommands();
}
