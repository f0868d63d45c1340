// Opens a project document in the editor on a virtual X server and saves a
// picture of the whole screen; optionally it plays for a while, shows tool
// windows and records events by pressing keys while playing, the way a user
// does. See scripts/editor-screenshot.sh.
//
// Usage: editor_screenshot <output.png> <project.xml> [options]
//   --at MS          go to this position first
//   --play SECONDS   play that long before taking the picture
//   --show NAME      run a window command (e.g. ActionEvents); repeatable
//   --press KEY      with --play: press this key (e.g. F2) once a second while
//                    playing, with "Inserting" on; repeatable
//   --tile 1         lay the windows out side by side (there is no window
//                    manager to do it)
//   --draw 1         tick "Draw" so the active events' shapes show
//   --modal WHAT     take the picture while a dialog is open, then cancel
//                    it: a command name (e.g. ActionOptionsHotKeys), or
//                    TypeEditor for the first event type in its editor
//   --export FILE    run the output video export into FILE (Motion JPEG
//                    chosen in its dialog) and take the picture while its
//                    progress dialog is up
#include "capture/ui/form_event_buttons.h"
#include "capture/ui/form_event_list.h"
#include "capture/ui/form_event_type_groups.h"
#include "document/ui/form_main.h"
#include "document/ui/main_document.h"
#include "media/avi/ui/avi_dialogs.h"
#include "playback/playback_clock.h"
#include "views/form_time_line.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEventLoop>
#include <QKeySequence>
#include <QPixmap>
#include <QProgressDialog>
#include <QPushButton>
#include <QRect>
#include <QScreen>
#include <QSlider>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

void RunEventsFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

QAction* ActionNamed(TFormMain& form, const QString& name) {
    for (const TAppCommandInfo& info : AppCommandTable())
        if (name == QLatin1String(info.Name))
            return form.Action(info.Id);
    return nullptr;
}

// The standard dialogs, except that an export writes to a file named in
// advance.
class TScreenshotDialogs final : public TFormMainDialogs {
public:
    explicit TScreenshotDialogs(QString exportFile)
        : m_standard(CreateStandardDialogs()), m_exportFile(std::move(exportFile)) {}
    std::optional<QString> AskOpenDocument(QWidget* parent) override {
        return m_standard->AskOpenDocument(parent);
    }
    std::optional<QString> AskSaveDocument(QWidget* parent) override {
        return m_standard->AskSaveDocument(parent);
    }
    void ShowError(QWidget* parent, const QString& message) override {
        m_standard->ShowError(parent, message);
    }
    std::optional<QString> AskSaveExport(QWidget*, const QString&, const QString&) override {
        return m_exportFile;
    }

private:
    std::unique_ptr<TFormMainDialogs> m_standard;
    QString m_exportFile;
};

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: editor_screenshot <output.png> <project.xml> [--at MS] [--play SECONDS] "
                             "[--show COMMAND]... [--press KEY]...\n");
        return 2;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Scenemark"));
    int at = -1;
    int seconds = 0;
    std::vector<QString> windows;
    std::vector<QKeySequence> keys;
    bool isTiled = false;
    bool isDrawing = false;
    QString modal;
    QString exportFile;
    for (int i = 3; i + 1 < argc; i += 2) {
        const QString value = QString::fromLocal8Bit(argv[i + 1]);
        if (std::strcmp(argv[i], "--at") == 0)
            at = value.toInt();
        else if (std::strcmp(argv[i], "--play") == 0)
            seconds = value.toInt();
        else if (std::strcmp(argv[i], "--show") == 0)
            windows.push_back(value);
        else if (std::strcmp(argv[i], "--press") == 0)
            keys.push_back(QKeySequence(value));
        else if (std::strcmp(argv[i], "--modal") == 0)
            modal = value;
        else if (std::strcmp(argv[i], "--export") == 0)
            exportFile = value;
        else if (std::strcmp(argv[i], "--tile") == 0)
            isTiled = value == QLatin1String("1");
        else if (std::strcmp(argv[i], "--draw") == 0)
            isDrawing = value == QLatin1String("1");
    }

    TFormMainOptions options;
    options.Dialogs = std::make_unique<TScreenshotDialogs>(exportFile);
    TFormMain form(std::move(options));
    TMainDocument document(form);
    form.show();
    RunEventsFor(200);
    form.Execute([&] { document.Read(argv[2], false); });
    for (const QString& name : windows) {
        if (QAction* action = ActionNamed(form, name))
            action->trigger();
        else
            std::fprintf(stderr, "no command %s\n", name.toLocal8Bit().constData());
    }
    if (isTiled) {
        // Main window top left, the tool windows to its right, the time line
        // along the bottom, the video windows in the top right corner.
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        form.setGeometry(0, 0, 760, 520);
        const int right = form.frameGeometry().right() + 8;
        int top = 0;
        for (QWidget* window :
             {static_cast<QWidget*>(form.FormEventList), static_cast<QWidget*>(form.FormEventTypeGroups)}) {
            window->move(right, top);
            top += window->frameGeometry().height() + 8;
        }
        form.FormEventButtons->move(right + form.FormEventTypeGroups->frameGeometry().width() + 8,
                                    form.FormEventList->frameGeometry().height() + 8);
        int left = screen.width();
        for (QWidget* video : form.VideoWindows()) {
            left -= video->frameGeometry().width() + 8;
            video->move(left, 0);
        }
        const int timelineTop = std::max(form.frameGeometry().bottom(), top) + 8;
        form.FormTimeLine->setGeometry(0, timelineTop, screen.width(), screen.height() - timelineTop);
    }
    form.activateWindow();
    RunEventsFor(300);
    if (isDrawing)
        form.CheckBoxEventsDraw->click();
    if (at >= 0)
        form.TrackBar->setValue(at);
    if (seconds > 0) {
        if (!keys.empty())
            form.Action(TAppCommandId::ActionEventsInserting)->setChecked(true);
        form.Action(TAppCommandId::ActionPlay)->trigger();
        for (int second = 0; second < seconds; ++second) {
            RunEventsFor(1000);
            if (!keys.empty()) {
                const QKeyCombination key = keys[static_cast<std::size_t>(second) % keys.size()][0];
                QTest::keyClick(form.windowHandle(), key.key(), key.keyboardModifiers());
            }
        }
        form.Clock().Stop(true);
    }
    RunEventsFor(500);
    QPixmap screen;
    if (!modal.isEmpty()) {
        // The dialog runs its own event loop: the picture is taken from
        // inside it, then the dialog is cancelled.
        QTimer::singleShot(500, [&screen] {
            screen = QGuiApplication::primaryScreen()->grabWindow(0);
            if (QWidget* dialog = QApplication::activeModalWidget())
                dialog->close();
        });
        if (modal == QLatin1String("TypeEditor")) {
            form.FormEventList->show();
            form.FormEventList->StringGridEventTypes->setCurrentCell(0, 0);
            form.FormEventList->ButtonModify->click();
        } else if (QAction* action = ActionNamed(form, modal)) {
            action->trigger();
        }
    }
    if (!exportFile.isEmpty()) {
        // The compressor dialog answered as a user does, then the picture
        // taken while the export runs.
        QTimer::singleShot(500, [] {
            if (auto* dialog = dynamic_cast<TAVICompressorDialog*>(QApplication::activeModalWidget())) {
                dialog->ComboBoxCompressor->setCurrentIndex(
                    dialog->ComboBoxCompressor->findText("Motion JPEG"));
                dialog->ButtonOK->click();
            }
        });
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            const auto* progress = form.findChild<QProgressDialog*>();
            if (progress != nullptr && progress->isVisible() && progress->value() > progress->maximum() / 3) {
                screen = QGuiApplication::primaryScreen()->grabWindow(0);
                poll.stop();
            }
        });
        poll.start(20);
        form.Execute([&form] { form.ActionExportOutputVideoExecute(); });
    }
    if (screen.isNull())
        screen = QGuiApplication::primaryScreen()->grabWindow(0);
    if (!screen.save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "could not save %s\n", argv[1]);
        return 1;
    }
    std::printf("position %d ms, %d events\n", form.Clock().PositionMs(),
                static_cast<int>(form.Project().Events().Count()));
    return 0;
}
