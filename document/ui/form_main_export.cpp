// The hidden exports of the File menu.

#include "document/ui/form_main.h"

#include "interchange/region_export.h"
#include "interchange/ui/form_region.h"
#include "media/avi/avi_file.h"
#include "playback/playback_clock.h"
#include "playback/playback_medium.h"
#include "playback/time_convert.h"
#include "playback/ui/form_video_list.h"
#include "views/core/output_picture.h"
#include "views/form_output.h"
#include "views/form_video.h"

#include <QAction>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProgressDialog>

#include <algorithm>

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

QString ClockText(int64_t ms) {
    const int64_t seconds = ms / 1000;
    return seconds >= 3600
               ? QStringLiteral("%1:%2:%3")
                     .arg(seconds / 3600)
                     .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
                     .arg(seconds % 60, 2, 10, QLatin1Char('0'))
               : QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

// Audio the export never asks for would pile up in the reader of every
// interleaved file for the whole recording (gigabytes over an hour of four
// cameras); playback drains it the same way.
void DrainUnreadAudio(TFormVideoList& videos) {
    for (int32_t i = 0; i < videos.Count(); ++i) {
        TAVFile* file = videos.Window(i).MediaFile();
        if (file == nullptr || file->GetMode() != TAVFile::ModeRead ||
            !(file->GetFlags() & TAVFile::FlagInterleaved) || !(file->GetStreams() & TAVFile::StreamAudio))
            continue;
        try {
            file->SkipAudio();
        } catch (const TAVFile::AVFileError&) {
            // Damaged audio costs the export nothing: only the pictures are written.
        }
    }
}

// Steps the playback position from 0 to the playback length, one frame
// period at a time, running step at every position, with a progress dialog
// showing the position and the time left. Moving on by one frame period is
// reading on in every medium, never a seek. beforeMove (may be empty) learns
// each position before the clock moves there. False when the user
// cancelled; errors of step or of the position change pass on.
bool StepThroughRecording(TFormMain& form, const QString& title, const std::function<void()>& step,
                          const std::function<void(int32_t positionMs)>& beforeMove = {}) {
    TPlaybackClock& clock = form.Clock();
    const int32_t lengthMs = clock.TrackBar().Maximum;
    if (beforeMove)
        beforeMove(0);
    if (clock.PositionMs() == 0)
        clock.TrackBarChange(TPositionSender::TrackBar);
    else
        clock.SetPosition(0);
    // An hour of several cameras takes a while: the user sees how far it is
    // and may stop it.
    QProgressDialog progress(QString(), QStringLiteral("Cancel"), 0, lengthMs, &form);
    progress.setWindowTitle(title);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    progress.setAutoReset(false);
    QElapsedTimer elapsed;
    elapsed.start();
    int64_t shownAtMs = -1000;
    int32_t shownPositionMs = 0;
    while (clock.PositionMs() < lengthMs) {
        step();
        const int32_t before = clock.PositionMs();
        const int64_t next = std::min<int64_t>(int64_t{before} + clock.PageSizeMs(), lengthMs);
        if (beforeMove)
            beforeMove(static_cast<int32_t>(next));
        clock.SetPosition(next);
        DrainUnreadAudio(form.VideoList());
        const int32_t positionMs = clock.PositionMs();
        // Painting the dialog cost as much as composing a frame when it was
        // updated at every step; a few times a second, or at every 250th of
        // the way, tells the user as much.
        if (elapsed.elapsed() - shownAtMs >= 250 || int64_t{positionMs - shownPositionMs} * 250 >= lengthMs ||
            positionMs >= lengthMs) {
            shownAtMs = elapsed.elapsed();
            shownPositionMs = positionMs;
            const int64_t leftMs = positionMs > 0 ? shownAtMs * (lengthMs - positionMs) / positionMs : 0;
            progress.setLabelText(
                QStringLiteral("%1 of %2, about %3 left")
                    .arg(ClockText(positionMs), ClockText(lengthMs), ClockText(leftMs + 999)));
            progress.setValue(positionMs);
        }
        QCoreApplication::processEvents();
        if (progress.wasCanceled())
            return false;
        if (positionMs == before)
            break;
    }
    return true;
}

// Answers the writer's compressor question with what the user chose before
// the file was created; the stored audio is never asked for.
class TChosenCompressor final : public TAVIChooser {
public:
    explicit TChosenCompressor(const TAVICompressorOptions& options) : m_options(options) {}
    bool ChooseCompressor(TAVICompressorOptions& options) override {
        options = m_options;
        return true;
    }
    bool ChooseAudioFormat(const std::vector<uint8_t>&, std::vector<uint8_t>&) override { return false; }

private:
    TAVICompressorOptions m_options;
};

// Limits the position changes of an export to the media it reads; on every
// way out all media are in use again.
class TMediaInUseScope {
public:
    TMediaInUseScope(TPlaybackClock& clock, std::function<bool(int32_t index)> inUse) : m_clock(clock) {
        m_clock.SetMediaInUse(std::move(inUse));
    }
    ~TMediaInUseScope() { m_clock.SetMediaInUse({}); }
    TMediaInUseScope(const TMediaInUseScope&) = delete;
    TMediaInUseScope& operator=(const TMediaInUseScope&) = delete;

private:
    TPlaybackClock& m_clock;
};

// The output picture shows one camera at a time, so each step decodes and
// composes only the window that picture is taken from; the other windows
// keep their frame until the cut comes back to them.
class TOutputMediaInUse {
public:
    explicit TOutputMediaInUse(TFormMain& form)
        : m_form(form),
          m_scope(form.Clock(), [this](int32_t index) { return m_isEveryWindow || index == m_window; }) {}

    // Chooses the window for the picture at positionMs, before the clock
    // moves there.
    void MoveTo(int32_t positionMs) {
        TPlaybackClock& clock = m_form.Clock();
        const int32_t time = clock.TimeAtPosition(positionMs);
        const auto cursor = static_cast<int32_t>(m_form.Project().Events().UpperBound(time)) - 1;
        try {
            m_window = m_form.FormOutput->WindowShownAt(cursor);
            m_isEveryWindow = false;
        } catch (const std::exception&) {
            // A parameter that is no number: the rendering reports it as it
            // always did, with every window in its place.
            m_isEveryWindow = true;
            return;
        }
        if (m_window >= 0)
            ReadOnWhenClose(m_window, positionMs);
    }

private:
    // Reading on costs one decode per frame, a seek decodes from the key
    // frame before its target (half a GOP on average) after the demuxer's
    // jump: a window that comes back a few frames behind reads on.
    static constexpr int64_t MaxReadOnFrames = 8;

    void ReadOnWhenClose(int32_t window, int32_t positionMs) {
        TPlaybackMedium& medium = m_form.VideoList().Medium(window);
        TAVFile* file = medium.MediaFile();
        if (file == nullptr || file->GetMode() != TAVFile::ModeRead ||
            !(file->GetStreams() & TAVFile::StreamVideo) ||
            !m_form.VideoList().Window(window).IsVideoTicked())
            return;
        try {
            const int64_t frame = std::min<int64_t>(
                int64_t{FramesFromMs(positionMs, file->GetVideoFormat())} - OffsetFrames(medium),
                int64_t{file->GetVideoLength()} - 1);
            const int64_t behind = frame - file->GetVideoPosition();
            if (behind > 0 && behind <= MaxReadOnFrames)
                file->SkipFrames(static_cast<int32_t>(behind));
        } catch (const TAVFile::AVFileError&) {
            // The fetch that follows seeks to the frame as it would have.
        }
    }

    TFormMain& m_form;
    bool m_isEveryWindow = false;
    int32_t m_window = -1;
    TMediaInUseScope m_scope;
};

bool HasEventOfType(const TEvents& events, int32_t type) {
    return std::any_of(events.begin(), events.end(),
                       [type](const auto& event) { return event->EventType == type; });
}

} // namespace

void TFormMain::ConnectExports() {
    ConnectCommand(Id::ActionExportOutputVideo, [this] { ActionExportOutputVideoExecute(); });
    ConnectCommand(Id::ActionExportOutputRegion, [this] { ActionExportOutputRegionExecute(); });
}

void TFormMain::ActionExportOutputVideoExecute() {
    const std::optional<QString> fileName =
        Dialogs().AskSaveExport(this, QStringLiteral("All (*.avi);;avi (*.avi)"), QStringLiteral("avi"));
    if (!fileName)
        return;
    Clock().Stop(true);
    const int32_t outputType = Project().EventTypes.FindBuiltInType(BuiltInOutput);
    // Without a cut there is nothing to export: not even an empty file.
    if (outputType < 0 || !HasEventOfType(Project().Events(), outputType))
        return;
    const bool wasOutputShown = IsToolWindowTicked(TToolWindow::Output);
    if (!wasOutputShown)
        SetToolWindowVisible(TToolWindow::Output, true);
    const QSize size = FormOutput->NormalSize();
    if (!FormOutput->isVisible() || size.isEmpty())
        return;
    // Asked before the file is created, so that Cancel leaves a file the
    // user chose to overwrite as it was.
    TAVICompressorOptions options;
    if (!Dialogs().AskCompressor(this, options))
        return;
    const int32_t startMs = Clock().PositionMs();
    TChosenCompressor chooser(options);
    TAVIFile writer;
    writer.SetChooser(&chooser);
    writer.SetVideoFormat(size.width(), size.height(), static_cast<uint32_t>(1000 / Clock().PageSizeMs()), 1);
    writer.Open(fileName->toStdString(), TAVFile::ModeWrite, TAVFile::StreamVideo, true);
    QImage fitted;
    bool isComplete = false;
    {
        TOutputMediaInUse inUse(*this);
        isComplete = StepThroughRecording(
            *this, QStringLiteral("Export output video"),
            [&] { writer.PutFrame(FitOutputFrame(FormOutput->Picture(), size, fitted).constBits()); },
            [&inUse](int32_t positionMs) { inUse.MoveTo(positionMs); });
    }
    // A cancelled export keeps the frames written so far as a complete file
    // that opens, and puts the editor back where the user left it. Either
    // way every window shows its frame again.
    writer.Close();
    if (!isComplete && Clock().PositionMs() != startMs)
        Clock().SetPosition(startMs);
    else
        Clock().RefreshAtPosition();
    if (!isComplete && !wasOutputShown)
        SetToolWindowVisible(TToolWindow::Output, false);
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
    // What was written before a Cancel stays complete. Only the windows of
    // the chosen camera give pictures: the others are not read meanwhile,
    // and show their frame again afterwards.
    {
        const TMediaInUseScope inUse(Clock(), [this, &query](int32_t index) {
            return VideoList().Window(index).Camera == query.Camera;
        });
        StepThroughRecording(*this, QStringLiteral("Export output region"), [&] {
            TPlaybackClock& clock = Clock();
            for (const TEvent* event : EventsAtStep(Project().Events(), EventCursor(), clock.CurrentTime())) {
                const TEventRegion region = ReadEventRegion(event->Parameters);
                if (RegionQualifies(event->EventType, region, query))
                    ExportRegion(VideoList(), region, clock.PositionMs(), files);
            }
        });
    }
    files.Close();
    Clock().RefreshAtPosition();
}
