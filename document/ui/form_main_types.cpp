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
        MouseTemplateTypeDeleted(typeIndex);
        RefreshTypeList();
    };
    FormEventList->SetHooks(hooks);
    FormEventTypeGroups->SetHooks(std::move(hooks));
}

void TFormMain::RefreshTypeList() {
    FormEventList->RefreshTypeList();
    FormEventTypeGroups->RefreshGroupList();
    RebuildEventCommands();
}
