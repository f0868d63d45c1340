// The Media menu (Add, and the Remove, Show, Cameras and Offset submenus
// rebuilt each time it opens) and the Reorder command of the Windows menu.

#include "document/ui/form_main.h"

#include "document/ui/media_history.h"
#include "playback/media_set_logic.h"
#include "playback/playback_clock.h"
#include "playback/ui/form_camera.h"
#include "playback/ui/form_offset.h"
#include "playback/ui/form_video_list.h"
#include "views/form_graph.h"
#include "views/form_output.h"
#include "views/form_time_line.h"

#include <QAction>
#include <QMenu>

namespace {

// A file path is shown as it is: "&" in it must not become an access mark.
QString PathCaption(QString path) {
    return path.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

} // namespace

void TFormMain::ConnectMediaMenu() {
    connect(Add1, &QAction::triggered, this, [this] { Execute([this] { Add1Click(); }); });
    connect(MenuMedia, &QMenu::aboutToShow, this, [this] { Execute([this] { Media1Click(); }); });
    ConnectCommand(TAppCommandId::ActionReorder, [this] { ActionReorderExecute(); });
    // Empty until the menu first opens, so disabled like after a reset.
    Media1Click();
}

bool TFormMain::AddMedium(const QString& fileName) {
    const int32_t index = VideoList().AddFile(fileName);
    if (index < 0)
        return false;
    Clock().MediumAdded(index);
    return true;
}

// One Add is one undo step, however many files it opened; a switch of the
// time unit the new media caused is part of it.
void TFormMain::Add1Click() {
    const TProject::TChangeScope scope(*m_project);
    for (const QString& fileName : m_dialogs->AskMediaFiles(this)) {
        const int32_t index = VideoList().AddFile(fileName);
        if (index < 0)
            continue;
        m_mediaHistory->Added(index);
        Clock().MediumAdded(index);
    }
}

void TFormMain::Media1Click() {
    for (QMenu* menu : {Remove1, Show1, Cameras1, Offset1})
        menu->clear();
    const auto addItem = [this](QMenu* menu, const QString& caption, int32_t index,
                                void (TFormMain::*click)(int32_t)) {
        QAction* item = menu->addAction(PathCaption(caption));
        connect(item, &QAction::triggered, this,
                [this, index, click] { Execute([=, this] { (this->*click)(index); }); });
        return item;
    };
    for (int32_t i = 0; i < VideoList().Count(); ++i) {
        const TFormVideo& window = VideoList().Window(i);
        const QString& name = window.FileName();
        addItem(Remove1, name, i, &TFormMain::Remove1Click);
        QAction* show = addItem(Show1, name, i, &TFormMain::Show1Click);
        show->setCheckable(true);
        show->setChecked(window.isVisible());
        addItem(Cameras1, CameraMenuCaption(name, window.Camera), i, &TFormMain::Cameras1Click);
        addItem(Offset1, OffsetMenuCaption(name, window.Offset), i, &TFormMain::Offset1Click);
    }
    // Media the project lists but could not open have no window to show and
    // nothing to play, yet Save writes them back: Remove is the one way to
    // drop them short of a reset. They come after the opened media, so the
    // items of those keep the media's indexes.
    const auto& unopened = VideoList().Unopened();
    if (!unopened.empty())
        Remove1->addSeparator();
    for (int32_t i = 0; i < static_cast<int32_t>(unopened.size()); ++i)
        addItem(Remove1, unopened[static_cast<std::size_t>(i)].FileName + QStringLiteral(" (not opened)"), i,
                &TFormMain::RemoveUnopenedClick);
    // Only the item in the Media menu is switched: a disabled QMenu widget
    // would still pop up but take no click or key.
    for (QMenu* menu : {Remove1, Show1, Cameras1, Offset1})
        menu->menuAction()->setEnabled(!menu->isEmpty());
}

void TFormMain::Remove1Click(int32_t index) {
    if (index < 0 || index >= VideoList().Count())
        return;
    m_mediaHistory->Remove(index);
}

void TFormMain::RemoveUnopenedClick(int32_t index) {
    VideoList().RemoveUnopened(index);
}

void TFormMain::Show1Click(int32_t index) {
    if (index < 0 || index >= VideoList().Count())
        return;
    TFormVideo& window = VideoList().Window(index);
    window.setVisible(!window.isVisible());
}

void TFormMain::Cameras1Click(int32_t index) {
    if (index < 0 || index >= VideoList().Count())
        return;
    TFormVideo& window = VideoList().Window(index);
    int32_t camera = window.Camera;
    if (FormCamera->AskCamera(camera))
        m_mediaHistory->SetCamera(index, camera);
}

void TFormMain::Offset1Click(int32_t index) {
    if (index < 0 || index >= VideoList().Count())
        return;
    TFormVideo& window = VideoList().Window(index);
    int32_t offset = window.Offset;
    // The slider's range follows the new offset only when a medium is
    // next added or removed.
    if (FormOffset->AskInteger(offset))
        m_mediaHistory->SetOffset(index, offset);
}

void TFormMain::ActionReorderExecute() {
    std::vector<TReorderWindow> windows;
    for (int32_t i = 0; i < VideoList().Count(); ++i) {
        const TFormVideo& window = VideoList().Window(i);
        if (window.isVisible())
            windows.push_back(
                {i, window.pos().x(), window.frameGeometry().width(), window.frameGeometry().height()});
    }
    const TReorderPlan plan = PlanReorder(std::move(windows));
    for (const TReorderPlan::TPlacement& placement : plan.Placements)
        VideoList().Window(placement.Index).move(placement.NewLeft, 0);

    if (FormOutput->isVisible())
        FormOutput->move(plan.NextLeft, 0);
    int32_t bottom = plan.Bottom;
    for (QWidget* below : {static_cast<QWidget*>(FormTimeLine), static_cast<QWidget*>(FormGraph)}) {
        if (!below->isVisible())
            continue;
        below->move(0, bottom);
        bottom += below->frameGeometry().height();
    }
}
