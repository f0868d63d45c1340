#pragma once
// The output window: the picture of the camera the newest "Output" event
// names, optionally zoomed into a region, as the video window of that
// camera composes it in its off-screen picture.
// One instance, created hidden by the main window at start-up and lives
// for the whole process.
//
// Layout: a menu "Size" (Quoter, Half, Normal, Double) and an image area 8
// pixels from the left and top, 7 from the right and bottom, the picture
// stretched over it. The caption is "Output", or "Output - Camera n" while a
// camera is shown.
//
// Threads: the UI thread. RenderOutput throws TConvertError for a Camera,
// ZoomRatio, ZoomCenterX or ZoomCenterY that is no number.

#include "components/secondary_window.h"

#include "model/project.h"
#include "views/core/output_picture.h"

#include <QImage>
#include <QSize>

#include <cstdint>
#include <functional>

class QAction;
class QMenu;
class QMenuBar;
class TFormVideo;

// Where the output window finds the event cursor and the video windows.
struct TOutputSources {
    std::function<int32_t()> EventCursor; // -1 none
    std::function<int32_t()> VideoCount;
    std::function<TFormVideo&(int32_t index)> Video; // in media order
};

class TFormOutput : public TSecondaryWindow {
    Q_OBJECT

public:
    TFormOutput(QWidget* owner, TProject& project);

    void SetSources(TOutputSources sources) { m_sources = std::move(sources); }

    // The largest video width and the largest video height (each on its
    // own) among the windows with an open video stream; 0 x 0 without.
    // Taken by ComputeNormalSize, which showing the window runs.
    QSize NormalSize() const { return m_normalSize; }
    void ComputeNormalSize();
    // Sizes the window so that its image area is the normal size divided by
    // 4 or 2 (integer division), kept or doubled (levels as the video
    // windows' Size menu). Without a normal size the window keeps its size.
    void SetZoom(int32_t level);

    // Brings the picture up to date; nothing while the window is hidden.
    void RenderOutput();
    // The last rendering: null when no camera is shown.
    const QImage& Picture() const { return m_picture; }
    // Camera shown, -1 none.
    int32_t ShownCamera() const { return m_shownCamera; }
    // The media-list index of the window whose picture RenderOutput would
    // show with the event cursor at `cursor`, -1 none; throws as
    // ChooseOutput does.
    int32_t WindowShownAt(int32_t cursor) const;

    QWidget* ImageOutput = nullptr;
    QMenuBar* MenuBar = nullptr;
    QMenu* Size1 = nullptr;
    QAction* Quoter1 = nullptr;
    QAction* Half1 = nullptr;
    QAction* Normal1 = nullptr;
    QAction* Double1 = nullptr;

private:
    void CreateControls();
    int32_t WindowForCamera(int32_t camera) const;
    void ShowCamera(int32_t camera);

    TProject& m_project;
    TOutputSources m_sources;
    QSize m_normalSize;
    QImage m_picture;
    int32_t m_shownCamera = -1;
};
