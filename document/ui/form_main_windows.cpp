// The Windows menu: the tool window toggles with their ticks, the per-window
// items of the video windows, and the tool windows' stored frames.

#include "document/ui/form_main.h"

#include "capture/ui/form_event_buttons.h"
#include "capture/ui/form_event_list.h"
#include "capture/ui/form_event_type_groups.h"
#include "views/form_graph.h"
#include "views/form_output.h"
#include "views/form_time_line.h"

#include <QAction>
#include <QMenu>
#include <QPointer>

namespace {

// A file path is shown as it is: "&" in it must not become an access mark.
QString MenuCaptionForText(QString text) {
    return text.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

} // namespace

TSecondaryWindow* TFormMain::ToolWindow(TToolWindow window) const {
    switch (window) {
    case TToolWindow::EventsList:
        return FormEventList;
    case TToolWindow::EventsButtons:
        return FormEventButtons;
    case TToolWindow::EventsGroups:
        return FormEventTypeGroups;
    case TToolWindow::Output:
        return FormOutput;
    case TToolWindow::TimeLine:
        return FormTimeLine;
    case TToolWindow::Graph:
        return FormGraph;
    }
    return nullptr;
}

TAppCommandId TFormMain::ToolWindowCommand(TToolWindow window) const {
    switch (window) {
    case TToolWindow::EventsList:
        return TAppCommandId::ActionEvents;
    case TToolWindow::EventsButtons:
        return TAppCommandId::ActionEventButtons;
    case TToolWindow::EventsGroups:
        return TAppCommandId::ActionEventTypeGroups;
    case TToolWindow::Output:
        return TAppCommandId::ActionOutput;
    case TToolWindow::TimeLine:
        return TAppCommandId::ActionTimeLine;
    case TToolWindow::Graph:
        return TAppCommandId::ActionGraph;
    }
    return TAppCommandId::ActionEvents;
}

bool TFormMain::IsToolWindowTicked(TToolWindow window) const {
    return Action(ToolWindowCommand(window))->isChecked();
}

void TFormMain::SetToolWindowVisible(TToolWindow window, bool visible) {
    // During start-up the windows do not exist yet; the tick still follows.
    TSecondaryWindow* form = ToolWindow(window);
    const bool wasVisible = form && form->isVisible();
    if (form)
        form->setVisible(visible);
    Action(ToolWindowCommand(window))->setChecked(visible);
    if (window == TToolWindow::Output && form && visible != wasVisible)
        OutputWindowShown(visible);
}

void TFormMain::ToggleToolWindow(TToolWindow window) {
    SetToolWindowVisible(window, !ToolWindow(window)->isVisible());
}

void TFormMain::SetVideoWindowsSource(std::function<std::vector<QWidget*>()> source) {
    m_videoWindows = std::move(source);
}

void TFormMain::MainMenuWindowsClick() {
    const QList<QAction*> items = MainMenuWindows->actions();
    for (qsizetype i = m_fixedWindowsItems; i < items.size(); ++i) {
        MainMenuWindows->removeAction(items[i]);
        delete items[i];
    }
    if (!m_videoWindows)
        return;
    for (QWidget* window : m_videoWindows()) {
        QAction* item = MainMenuWindows->addAction(MenuCaptionForText(window->windowTitle()));
        item->setCheckable(true);
        item->setChecked(window->isVisible());
        connect(item, &QAction::triggered, this, [target = QPointer<QWidget>(window)] {
            if (target)
                target->setVisible(!target->isVisible());
        });
    }
}

void TFormMain::ApplyToolWindowFrame(TToolWindow window, const TWindowFramePatch& patch) {
    if (patch.Visible && *patch.Visible != IsToolWindowTicked(window))
        Action(ToolWindowCommand(window))->trigger();
    QWidget* form = ToolWindow(window);
    if (patch.Left || patch.Top)
        form->move(patch.Left.value_or(form->frameGeometry().x()),
                   patch.Top.value_or(form->frameGeometry().y()));
    if (!ToolWindowTakesStoredSize(window) || !(patch.Width || patch.Height))
        return;
    // The stored size is the outer one; the frame's share stays as it is.
    const QSize frameExtra = form->frameGeometry().size() - form->size();
    const int width = patch.Width.value_or(form->frameGeometry().width()) - frameExtra.width();
    const int height = patch.Height.value_or(form->frameGeometry().height()) - frameExtra.height();
    form->resize(std::max(0, width), std::max(0, height));
}
