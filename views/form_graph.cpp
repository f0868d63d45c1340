#include "views/form_graph.h"

#include "base/exception.h"
#include "views/core/video_picture.h"

#include <QFileDialog>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPaintEvent>
#include <QPainter>
#include <QVBoxLayout>

namespace {

class TImageGraph final : public QWidget {
public:
    TImageGraph(const TFormGraph& form, QWidget* parent) : QWidget(parent), m_form(form) {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::white);
        painter.drawImage(0, 0, m_form.Picture());
    }

private:
    const TFormGraph& m_form;
};

constexpr int32_t InitialWidth = 640;
constexpr int32_t InitialHeight = 160;
constexpr int32_t Margin = 8;

} // namespace

TFormGraph::TFormGraph(QWidget* owner, TProject& project)
    : TSecondaryWindow(owner, QStringLiteral("Graph"),
                       QSize(InitialWidth + 2 * Margin, InitialHeight + 2 * Margin)),
      m_project(project) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(Margin, Margin, Margin, Margin);
    MenuBar = new QMenuBar(this);
    layout->setMenuBar(MenuBar);
    File1 = MenuBar->addMenu(QStringLiteral("File"));
    Save1 = File1->addAction(QStringLiteral("&Save"));
    connect(Save1, &QAction::triggered, this, [this] { Save1Click(); });
    ImageGraph = new TImageGraph(*this, this);
    layout->addWidget(ImageGraph);
    resize(InitialWidth + 2 * Margin, InitialHeight + 2 * Margin + MenuBar->sizeHint().height());
    layout->activate();
    m_picture = QImage(ImageGraph->size(), QImage::Format_RGB32);
    m_picture.fill(Qt::white);
}

void TFormGraph::resizeEvent(QResizeEvent* event) {
    TSecondaryWindow::resizeEvent(event);
    layout()->activate();
    if (ImageGraph->size() == m_picture.size())
        return;
    m_picture = QImage(ImageGraph->size(), QImage::Format_RGB32);
    m_picture.fill(Qt::white);
}

void TFormGraph::DrawGraph(int32_t cursor, const TGraphClock& clock) {
    const int32_t graphType = m_project.EnsureBuiltInType(BuiltInGraph);
    try {
        m_painter.Draw(m_picture, m_project, graphType, cursor, clock);
    } catch (const TConvertError&) {
        ImageGraph->update();
        throw;
    }
    ImageGraph->update();
}

std::optional<QString> TFormGraph::AskFileName() {
    if (m_askFileName)
        return m_askFileName();
    QFileDialog dialog(this);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilter(QStringLiteral("Bitmaps (*.bmp)"));
    dialog.setDefaultSuffix(QStringLiteral("bmp"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

void TFormGraph::Save1Click() {
    const std::optional<QString> fileName = AskFileName();
    if (!fileName)
        return;
    if (SaveBitmap24(m_picture, *fileName))
        return;
    const QString message = QStringLiteral("Could not save picture!");
    if (m_reportError)
        m_reportError(message);
    else
        QMessageBox::critical(this, QGuiApplication::applicationDisplayName(), message);
}
