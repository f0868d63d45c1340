#pragma once
// TFormVideo: the window of one medium. It owns the medium's media file and
// carries its camera number and time offset; it shows the current frame
// scaled to its picture area, the overlay shapes of the active events and a
// caption; it zooms to fixed multiples of the video size, saves what it
// shows as a BMP file, switches the medium's video and audio on and off, and
// in mouse mode turns a left-button drag into recorded events.
//
// Layout: the picture area ImageVideo 4 pixels inside the client area,
// stretching with the window; a one-text status bar 19 pixels high at the
// bottom; menus "File" (Save), "Size" (Quoter, Half, Normal, Double) and
// "Streams" (Video, Audio, a separator, the backend's description).
//
// Ownership: the main window is the Qt parent and destroys the window; the
// window destroys its shapes, its off-screen picture and its media file.
// Closing the window only hides it; the medium stays in the media set.
//
// Threads: the UI thread only, but the window has a seek worker of its own
// (SeekWorker) which the playback clock hands the medium's seeks to. Before
// the window uses its media file on the UI thread it waits for that worker,
// so the file is never used by two threads at once. FetchFrame passes media
// errors (TAVFile::AVFileError family) to its caller; nothing else throws.

#include "media/av_file.h"
#include "playback/seek_worker.h"
#include "views/core/event_overlays.h"
#include "views/core/mouse_region.h"
#include "views/core/overlay_shapes.h"
#include "views/core/video_picture.h"

#include <QImage>
#include <QMainWindow>
#include <QPoint>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class QAction;
class QLabel;
class QMenu;
class QStatusBar;
class TVideoHost;

class TFormVideo : public QMainWindow, public TOverlayTarget {
public:
    using TDrawable = VideoOverlay::TDrawable;
    using TRectangle = VideoOverlay::TRectangle;
    using TPolygon = VideoOverlay::TPolygon;
    using TArrow = VideoOverlay::TArrow;
    using TCircle = VideoOverlay::TCircle;
    using TEllipse = VideoOverlay::TEllipse;

    // Opens a file for reading with the streams asked for (TAVFile::Stream*
    // bits); nullptr when nothing opens it. OpenMedia of the backend
    // registry by default; tests give their own.
    using TMediaOpener =
        std::function<std::unique_ptr<TAVFile>(const std::string& fileName, int32_t streams)>;

    // owner: the main window (may be null in tests). host: mouse mode and
    // event recording; null makes the window ignore mouse input.
    TFormVideo(QWidget* owner, TVideoHost* host, TMediaOpener opener = {});
    ~TFormVideo() override;

    // --- The medium ---------------------------------------------------------

    // Opens fileName in this window: the Streams items and the Size menu
    // follow the streams found, the zoom becomes Normal, frame 0 is fetched,
    // the medium is sought back to 0 and the window is shown centred on its
    // owner. On any failure the window closes itself and returns false,
    // showing no message.
    bool OpenFile(const QString& fileName);
    // Closes and destroys the media file, forgets the current frame, hides
    // the window and empties the caption, FileName and the description item.
    void CloseFile();

    // The path exactly as given to OpenFile; empty without a file.
    const QString& FileName() const { return m_fileName; }
    // The open media file, or nullptr. Owned by the window.
    TAVFile* MediaFile() const { return m_mediaFile.get(); }
    // Open for reading with a video stream.
    bool HasVideo() const;
    // Camera number of the medium; -1 means none (the dialog allows -1..1000).
    int32_t Camera = -1;
    // Project time in milliseconds at which the medium's first frame and
    // first audio sample play; may be negative.
    int32_t Offset = 0;

    // The Streams toggles. Video off blacks the picture out and stops frame
    // fetching; the Audio tick is read when playback starts.
    bool IsVideoTicked() const;
    bool IsAudioTicked() const;

    // Status bar text "FPS: %.2f Dropped: %d" of the playback clock, in a
    // label of its own that menu status tips leave alone.
    void ShowPlaybackRate(double fps, int32_t dropped);
    QString StatusText() const;

    // --- Frame and picture --------------------------------------------------

    // Makes frame the current frame (counted from 0 in the medium). Without a
    // readable video stream nothing happens. With Video unticked no frame is
    // decoded; an interleaved file still advances one frame so its audio
    // does not pile up. On an error the window has no current frame and the
    // error passes on. Draws nothing: the caller repaints.
    // Where the window paints without double buffering and its backend
    // offers it, the frame is converted straight to the picture area's size;
    // the full-size frame is then made only when someone asks for it.
    // May run on the seek worker while the UI thread waits for it (touches
    // no widget state but reads). On the UI thread it first waits for the
    // worker and drops the preview pictures still on their way.
    void FetchFrame(int32_t frame);
    // A picture near frame, cheaply: the key frame at or before it where the
    // backend can find one (decoding that picture only), else frame itself.
    // Threads and errors as FetchFrame.
    void PreviewFrame(int32_t frame);
    // The medium's seek worker; the window owns it and destroys it before
    // its media file.
    TSeekWorker* SeekWorker() const { return m_seekWorker.get(); }
    // The job that makes a preview picture (PreviewFrame's picture, copied
    // out of the file) for a frame on the seek worker, at the size the
    // window paints it now; empty without video or with Video unticked.
    // When the worker has the picture it posts the window a message, and
    // the window shows it and repaints, unless something overtook it.
    std::function<std::optional<TPreviewPicture>(int32_t frame, const std::function<bool()>& isOvertaken)>
    // The window then paints a copy of its frame until the picture comes,
    // never the file's buffers the worker writes.
    PreviewRenderer();
    // Shows picture as the current frame (the caller repaints).
    void ShowPreviewPicture(TPreviewPicture picture);
    // A seek of the worker runs or waits, or its picture is not shown yet.
    bool IsPicturePending() const { return m_seekWorker->IsBusy(); }

    // The last fetched frame: the media file's top-down frame buffer (4
    // bytes per pixel), owned by the media file and valid until its next
    // frame request; nullptr when none. After a fetch at the window's size
    // the full-size frame is converted now; nullptr if that fails.
    const uint8_t* CurrentBitmap() const;
    // Index of the last fetched frame; -1 when none.
    int32_t CurrentFrameIndex() const { return m_currentFrameIndex; }

    // Draws the picture area now. A hidden window draws nothing, but with
    // double buffering still composes its off-screen picture, which the
    // output window shows.
    void Paint();
    // Draws the picture area's content on painter: the black-out when Video
    // is unticked, otherwise frame, overlays, drag preview and caption,
    // composed directly or through the off-screen picture.
    void ImageVideoPaint(QPainter& painter);

    // Compose in the off-screen picture (the video's own size), then stretch
    // it; overlays then scale with the video. The caller repaints.
    void SetDoubleBuffered(bool flag) { m_doubleBuffered = flag; }
    bool IsDoubleBuffered() const { return m_doubleBuffered; }
    // The video's size (0 x 0 without video).
    const QImage& OffscreenPicture() const { return m_offscreenPicture; }

    // Level 0 quarter, 1 half, 2 normal, 3 double size (clamped); sizes the
    // window so the picture area gets that multiple of the video size (160 x
    // 0 without video). Where the window's minimum size would be larger, the
    // picture grows to it keeping the video's aspect.
    void SetZoom(int32_t level);
    int32_t ZoomLevel() const { return m_zoomLevel; }
    // Window size minus picture-area size, measured when the window was made.
    int32_t MarginX() const { return m_marginX; }
    int32_t MarginY() const { return m_marginY; }

    // Caption drawn along the bottom of the picture. The caller repaints.
    void SetCaptionText(const QString& text) { m_captionText = text; }
    const QString& CaptionText() const { return m_captionText; }

    // --- Overlay shapes (video pixels; the caller repaints) -----------------

    void ClearOverlays();
    // event: the event the rectangle shows, whose bounds follow when the
    // user moves the rectangle with the right button; not owned, must live
    // until the next ClearOverlays.
    void AddRectangle(int32_t minX, int32_t minY, int32_t maxX, int32_t maxY, const QString& label,
                      const TEvent* event) override;
    void AddPolygon(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3, int32_t x4,
                    int32_t y4) override;
    void AddArrow(int32_t x1, int32_t y1, int32_t x2, int32_t y2) override;
    // An arrow without head.
    void AddLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2) override;
    void AddCircle(int32_t centerX, int32_t centerY, int32_t radius) override;
    void AddEllipse(int32_t centerX, int32_t centerY, int32_t axisA, int32_t axisB,
                    float orientation) override;
    const TOverlayList& Overlays() const { return m_overlays; }
    // The shape being moved with the right button, or nullptr.
    TDrawable* SelectedOverlay() const { return m_selectedOverlay; }

    // --- Mouse mode ---------------------------------------------------------

    // Records the region of a drag in progress (nothing otherwise) through
    // the host's RecordEventNow. Also called by the playback clock at every
    // position change and frame step while the button is held.
    void CommitMouseRegion();
    // Repaints; a drag in progress goes on until the left button is released.
    void EndMouseInteraction();
    bool IsTracking() const { return m_tracking; }
    // Last mouse position of the drag, in picture-area pixels.
    QPoint MousePosition() const { return m_mousePosition; }

    // Mouse handlers; positions in picture-area pixels.
    void ImageVideoMouseDown(Qt::MouseButton button, int32_t x, int32_t y);
    void ImageVideoMouseMove(Qt::MouseButtons held, int32_t x, int32_t y);
    void ImageVideoMouseUp(Qt::MouseButton button, int32_t x, int32_t y);

    // --- Menu handlers ------------------------------------------------------

    // Asks for a file name, then SavePicture.
    void Save1Click();
    // Repaints, then writes what the window shows as a 24-bit BMP file: the
    // video's size with double buffering, the picture area's size otherwise.
    // Without a current frame nothing is written and true is returned; false
    // when the file could not be written.
    bool SavePicture(const QString& fileName);
    // Ticks the Size item of the zoom level (the Size menu is opening).
    void Size1Click();
    void Quoter1Click() { SetZoom(ZoomQuarter); }
    void Half1Click() { SetZoom(ZoomHalf); }
    void Normal1Click() { SetZoom(ZoomNormal); }
    void Double1Click() { SetZoom(ZoomDouble); }
    // Chooses a Streams toggle (CheckBoxVideo or CheckBoxAudio) as the menu
    // does: a disabled item does nothing; Video repaints at once.
    void CheckBoxVideoClick(QAction* item);

    // --- Controls -----------------------------------------------------------

    QWidget* ImageVideo = nullptr;
    QStatusBar* StatusBar = nullptr;
    QMenu* File1 = nullptr;
    QAction* Save1 = nullptr;
    QMenu* Size1 = nullptr;
    QAction* Quoter1 = nullptr;
    QAction* Half1 = nullptr;
    QAction* Normal1 = nullptr;
    QAction* Double1 = nullptr;
    QMenu* Streams1 = nullptr;
    QAction* CheckBoxVideo = nullptr;
    QAction* CheckBoxAudio = nullptr;
    QAction* PopupMenuDescription = nullptr;

protected:
    // Takes the seek worker's picture messages.
    bool event(QEvent* event) override;

private:
    void CreateMenus();
    // Waits until the seek worker lets go of the media file; with
    // dropPictures, pictures still on their way will not show either.
    // Nothing on the worker's own thread.
    void ReclaimMedium(bool dropPictures) const;
    void ShowFinishedPreview();
    void HoldCurrentFrame();
    void CreatePictureArea();
    void MeasureMargins();
    void ShowStreams();
    void ShowCentredOnOwner();
    void StreamItemChosen(QAction* item);
    // The frame, overlays, preview and caption for a surface.
    TPictureContent PictureContent() const;
    void ComposeOffscreen();
    // The picture area's size when the window draws a frame scaled to it,
    // else an empty size (full-size frames).
    QSize ScaledFetchSize() const;
    // Replaces a frame fetched at the window's size by the full-size one.
    void UseFullSizeFrame();
    // A frame fetched at the window's size made again for a new size.
    void FitScaledFrame(QSize area);
    void DrawDirect(QPainter& painter, QSize area);
    TVideoPoint ToVideoPoint(int32_t x, int32_t y) const;
    std::optional<TRectangle> DragPreview() const;
    void MoveSelectedOverlay(int32_t x, int32_t y);

    TVideoHost* m_host;
    TMediaOpener m_opener;
    QString m_fileName;
    std::unique_ptr<TAVFile> m_mediaFile;
    int32_t m_videoWidth = 0;
    int32_t m_videoHeight = 0;

    int32_t m_zoomLevel = ZoomNormal;
    int32_t m_marginX = 0;
    int32_t m_marginY = 0;
    bool m_doubleBuffered = false;
    QImage m_offscreenPicture;
    // Paint composed the off-screen picture for the paint event that follows.
    bool m_isOffscreenCurrent = false;
    // The full-size frame, made on demand after a fetch at the window's size.
    mutable const uint8_t* m_currentBitmap = nullptr;
    int32_t m_currentFrameIndex = -1;
    // The frame wrapped for drawing (no copy): full size, or the picture
    // area's size when m_isFrameScaled; null without a frame.
    QImage m_currentFrame;
    bool m_isFrameScaled = false;
    // The current frame is a preview picture held here, not in the file.
    bool m_isPreviewPicture = false;
    TPreviewPicture m_previewPicture;
    // Size of the picture area when a frame last covered it: a paint without
    // a frame leaves such a picture in place, anything else is blacked out.
    QSize m_coveredSize;
    TOverlayList m_overlays;
    TDrawable* m_selectedOverlay = nullptr;
    bool m_tracking = false;
    QPoint m_mousePosition;
    QString m_captionText;
    QLabel* m_statusLabel = nullptr;
    // Last: its thread may post to the window until it is joined.
    std::unique_ptr<TSeekWorker> m_seekWorker;
};
