// The hidden exports of the File menu.

#include "document/ui/form_main.h"

#include "interchange/region_export.h"
#include "interchange/ui/form_region.h"
#include "playback/playback_clock.h"
#include "playback/ui/form_video_list.h"
#include "views/form_video.h"

#include <QAction>
#include <QCoreApplication>
#include <QImage>
#include <QProgressDialog>

namespace {

using Id = TAppCommandId;

// Double buffering as the option and the output window want it, on every way
// out of an export.
class TDoubleBufferingRestore {
public:
    explicit TDoubleBufferingRestore(TFormMain& form) : m_form(form) {}
    ~TDoubleBufferingRestore() {
        m_form.VideoList().SetDoubleBuffering(m_form.Action(Id::ActionDoubleBuffering)->isChecked() ||
                                              m_form.IsToolWindowTicked(TToolWindow::Output));
    }

private:
    TFormMain& m_form;
};

// Cuts the event's region out of every video window of its camera.
void ExportRegion(TFormVideoList& videos, const TEventRegion& region, int32_t positionMs,
                  TRegionExportFiles& files) {
    for (int32_t i = 0; i < videos.Count(); ++i) {
        TFormVideo& video = videos.Window(i);
        if (video.Camera != region.Values[TEventRegion::Camera] || video.MediaFile() == nullptr)
            continue;
        const TAVFile::TVideoFormat format = video.MediaFile()->GetVideoFormat();
        const QImage picture = video.OffscreenPicture().convertToFormat(QImage::Format_RGB32);
        if (format.Width <= 0 || format.Height <= 0)
            continue;
        const double sx = static_cast<double>(picture.width()) / format.Width;
        const double sy = static_cast<double>(picture.height()) / format.Height;
        const TRegionPicture pixels{picture.constBits(), picture.width(), picture.height(),
                                    static_cast<int32_t>(picture.bytesPerLine())};
        files.Append(positionMs, RegionRecord(pixels, RegionBox(region, sx, sy)));
    }
}

} // namespace

void TFormMain::ConnectExports() {
    ConnectCommand(Id::ActionExportOutputRegion, [this] { ActionExportOutputRegionExecute(); });
}

void TFormMain::ActionExportOutputRegionExecute() {
    const std::optional<QString> fileName =
        Dialogs().AskSaveExport(this, QStringLiteral("bitmap (*.bitmap)"), QStringLiteral("bitmap"));
    if (!fileName)
        return;
    const TDoubleBufferingRestore restore(*this);
    VideoList().SetDoubleBuffering(true);
    FormRegion->Prepare();
    if (FormRegion->exec() != QDialog::Accepted)
        return;
    TRegionQuery query;
    if (!FormRegion->Query(query))
        return;
    TRegionExportFiles files;
    if (!files.Open(*fileName)) {
        Dialogs().ShowError(this, QStringLiteral("Could not open file!"));
        return;
    }
    TPlaybackClock& clock = Clock();
    if (clock.PositionMs() == 0)
        clock.TrackBarChange(TPositionSender::TrackBar);
    else
        clock.SetPosition(0);
    // An hour of several cameras takes a while: the user sees how far it is
    // and may stop it; what was written so far stays complete.
    QProgressDialog progress(QStringLiteral("Exporting regions..."), QStringLiteral("Cancel"), 0,
                             clock.TrackBar().Maximum, this);
    progress.setWindowTitle(QStringLiteral("Export output region"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    while (clock.PositionMs() < clock.TrackBar().Maximum && !progress.wasCanceled()) {
        for (const TEvent* event : EventsAtStep(Project().Events(), EventCursor(), clock.CurrentTime())) {
            const TEventRegion region = ReadEventRegion(event->Parameters);
            if (RegionQualifies(event->EventType, region, query))
                ExportRegion(VideoList(), region, clock.PositionMs(), files);
        }
        const int32_t before = clock.PositionMs();
        clock.SetPosition(int64_t{before} + clock.PageSizeMs());
        progress.setValue(clock.PositionMs());
        QCoreApplication::processEvents();
        if (clock.PositionMs() == before)
            break;
    }
    files.Close();
}
