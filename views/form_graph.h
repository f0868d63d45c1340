#pragma once
// The graph window: the values of the "Graph" events of the last stretch of
// time as coloured curves. The image area starts at 640 x 160 pixels and
// follows the window's size; after a resize the picture is blank (white)
// until the next drawing. Menu "File" with "&Save", which writes the
// picture as a BMP file.
// One instance, created hidden by the main window at start-up and lives
// for the whole process.
//
// Threads: the UI thread. DrawGraph throws TConvertError for a Value or
// Color that is no number. Save1Click reports a file that cannot be written
// as "Could not save picture!".

#include "components/secondary_window.h"

#include "model/project.h"
#include "views/core/graph_picture.h"

#include <QImage>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

class QAction;
class QMenu;
class QMenuBar;

class TFormGraph : public TSecondaryWindow {
    Q_OBJECT

public:
    TFormGraph(QWidget* owner, TProject& project);

    // Redraws the picture from the events of the built-in "Graph" type,
    // which is created when missing. cursor: the event cursor (-1 none).
    void DrawGraph(int32_t cursor, const TGraphClock& clock);
    const QImage& Picture() const { return m_picture; }

    // Asks for the file (the standard dialog unless replaced), then writes
    // the picture as a 24-bit BMP file.
    void Save1Click();
    // Returns the chosen file name, or nothing when cancelled.
    void SetSaveQuestion(std::function<std::optional<QString>()> ask) { m_askFileName = std::move(ask); }
    // Shows a failure; a message box of the application by default.
    void SetErrorReporter(std::function<void(const QString&)> report) { m_reportError = std::move(report); }

    QWidget* ImageGraph = nullptr;
    QMenuBar* MenuBar = nullptr;
    QMenu* File1 = nullptr;
    QAction* Save1 = nullptr;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    std::optional<QString> AskFileName();

    TProject& m_project;
    QImage m_picture;
    TGraphPainter m_painter;
    std::function<std::optional<QString>()> m_askFileName;
    std::function<void(const QString&)> m_reportError;
};
