// The client area of the main window: position slider, the events and titles
// panels with their controls and layout, and the status bar.

#include "document/ui/form_main.h"

#include "document/entry_limits.h"
#include "document/ui/panel_layout.h"

#include <QAction>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QStatusBar>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

using Id = TAppCommandId;

// The central widget; it reports its resizes so the panels follow.
class TClientArea final : public QWidget {
public:
    explicit TClientArea(std::function<void()> onResize) : m_onResize(std::move(onResize)) {}

protected:
    void resizeEvent(QResizeEvent* event) override {
        QWidget::resizeEvent(event);
        m_onResize();
    }

private:
    std::function<void()> m_onResize;
};

// A check box standing for a switch command: clicking it runs the command,
// and it shows the command's tick and enabled state.
QCheckBox* CheckBoxForCommand(QAction* action, QWidget* parent) {
    auto* box = new QCheckBox(action->iconText(), parent);
    box->setChecked(action->isChecked());
    box->setEnabled(action->isEnabled());
    QObject::connect(box, &QCheckBox::clicked, action, [action, box](bool checked) {
        if (action->isChecked() != checked)
            action->trigger();
        box->setChecked(action->isChecked());
    });
    QObject::connect(action, &QAction::toggled, box, &QCheckBox::setChecked);
    QObject::connect(action, &QAction::changed, box, [action, box] { box->setEnabled(action->isEnabled()); });
    return box;
}

// A button that runs a command and is enabled with it.
QPushButton* ButtonForCommand(const QString& caption, QAction* action, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setEnabled(action->isEnabled());
    // Narrow enough for four buttons in half of the smallest window.
    button->setMinimumWidth(40);
    button->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    QObject::connect(button, &QPushButton::clicked, action, &QAction::trigger);
    QObject::connect(action, &QAction::changed, button,
                     [action, button] { button->setEnabled(action->isEnabled()); });
    return button;
}

QTableWidget* CreateGrid(int columnCount, QWidget* parent) {
    auto* grid = new QTableWidget(1, columnCount, parent);
    grid->verticalHeader()->hide();
    grid->verticalHeader()->setMinimumSectionSize(16);
    grid->verticalHeader()->setDefaultSectionSize(16);
    grid->horizontalHeader()->setStretchLastSection(false);
    grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    grid->horizontalHeader()->setMinimumSectionSize(8);
    // Headings start at the left like the cells: a narrow column keeps the
    // beginning of its heading, not the middle.
    grid->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // The list scrolls by its own scroll bar beside the grid, which counts
    // rows of the annotation rather than rows of the grid.
    grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    return grid;
}

QScrollBar* CreateListScrollBar(QWidget* parent) {
    auto* bar = new QScrollBar(Qt::Vertical, parent);
    bar->setRange(0, 0);
    return bar;
}

bool SetColumnWidthByHeading(QTableWidget& grid, const QString& heading, int32_t width) {
    for (int column = 0; column < grid.columnCount(); ++column) {
        const QTableWidgetItem* item = grid.horizontalHeaderItem(column);
        if (item != nullptr && item->text().compare(heading, Qt::CaseInsensitive) == 0) {
            grid.horizontalHeader()->resizeSection(column, width);
            return true;
        }
    }
    return false;
}

std::vector<int32_t> ColumnWidths(const QTableWidget& grid) {
    std::vector<int32_t> widths;
    for (int column = 0; column < grid.columnCount(); ++column)
        widths.push_back(grid.horizontalHeader()->sectionSize(column));
    return widths;
}

} // namespace

void TFormMain::CreateClientArea() {
    m_clientArea = new TClientArea([this] { FormResize(); });
    setCentralWidget(m_clientArea);

    TrackBar = new QSlider(Qt::Horizontal, m_clientArea);
    TrackBar->setTickPosition(QSlider::TicksBelow);
    TrackBar->setTickInterval(10);

    PanelEvents = CreateEventsPanel(m_clientArea);
    PanelTitles = CreateTitlesPanel(m_clientArea);
}

QWidget* TFormMain::CreateEventsPanel(QWidget* parent) {
    auto* panel = new QWidget(parent);
    CheckBoxEventsInserting = CheckBoxForCommand(Action(Id::ActionEventsInserting), panel);
    ButtonEventsModify = ButtonForCommand(QStringLiteral("Modify"), Action(Id::ActionEventsModify), panel);
    ButtonEventsDelete = ButtonForCommand(QStringLiteral("Delete"), Action(Id::ActionEventsDelete), panel);
    ButtonEventsClear = ButtonForCommand(QStringLiteral("Clear"), Action(Id::ActionEventsClear), panel);
    ButtonEventsFilter = ButtonForCommand(QStringLiteral("Filter"), Action(Id::ActionEventsFilter), panel);
    EditEventText = new QLineEdit(panel);
    EditEventText->setMaxLength(MaxEnteredLineLength);
    ButtonEventsInsert =
        ButtonForCommand(QStringLiteral("Insert"), Action(Id::ActionEventsInsertText), panel);
    CheckBoxEventsDraw = new QCheckBox(QStringLiteral("Draw"), panel);
    CheckBoxEventsText = new QCheckBox(QStringLiteral("Text"), panel);
    StringGridMessages = CreateGrid(4, panel);
    ScrollBarMessages = CreateListScrollBar(panel);

    auto* commands = new QHBoxLayout;
    commands->addWidget(CheckBoxEventsInserting);
    for (QWidget* button : {ButtonEventsModify, ButtonEventsDelete, ButtonEventsClear, ButtonEventsFilter})
        commands->addWidget(button);
    commands->addStretch(1);
    auto* insertion = new QHBoxLayout;
    insertion->addWidget(EditEventText, 1);
    insertion->addWidget(ButtonEventsInsert);
    insertion->addWidget(CheckBoxEventsDraw);
    insertion->addWidget(CheckBoxEventsText);
    auto* list = new QHBoxLayout;
    list->setSpacing(0);
    list->addWidget(StringGridMessages, 1);
    list->addWidget(ScrollBarMessages);

    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(commands);
    layout->addLayout(insertion);
    layout->addLayout(list, 1);
    return panel;
}

QWidget* TFormMain::CreateTitlesPanel(QWidget* parent) {
    auto* panel = new QWidget(parent);
    CheckBoxTitlesInserting = CheckBoxForCommand(Action(Id::ActionTitlesInserting), panel);
    ButtonTitlesModify = ButtonForCommand(QStringLiteral("Modify"), Action(Id::ActionTitlesModify), panel);
    ButtonTitlesDelete = ButtonForCommand(QStringLiteral("Delete"), Action(Id::ActionTitlesDelete), panel);
    ButtonTitlesClear = ButtonForCommand(QStringLiteral("Clear"), Action(Id::ActionTitlesClear), panel);
    EditTitleText = new QLineEdit(panel);
    EditTitleText->setMaxLength(MaxEnteredLineLength);
    ButtonTitlesInsert =
        ButtonForCommand(QStringLiteral("Insert"), Action(Id::ActionTitlesInsertText), panel);
    StringGridTitles = CreateGrid(2, panel);
    ScrollBarTitles = CreateListScrollBar(panel);
    ScrollBarTitles->setPageStep(10);

    auto* commands = new QHBoxLayout;
    commands->addWidget(CheckBoxTitlesInserting);
    for (QWidget* button : {ButtonTitlesModify, ButtonTitlesDelete, ButtonTitlesClear})
        commands->addWidget(button);
    commands->addStretch(1);
    auto* insertion = new QHBoxLayout;
    insertion->addWidget(EditTitleText, 1);
    insertion->addWidget(ButtonTitlesInsert);
    auto* list = new QHBoxLayout;
    list->setSpacing(0);
    list->addWidget(StringGridTitles, 1);
    list->addWidget(ScrollBarTitles);

    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(commands);
    layout->addLayout(insertion);
    layout->addLayout(list, 1);
    return panel;
}

void TFormMain::CreateStatusBar() {
    // The designed widths are minima: in a wider font than the one they were
    // drawn for, "Frame: 0" would lose its digits. Each panel also fits the
    // widest text it shows in practice: any 32-bit millisecond time, and
    // frame numbers of 7 digits (a day of 60 fps video).
    const std::array<int, 3> widths{128, 192, 50};
    const std::array<QString, 3> widest{QStringLiteral("Time: 596:31:23.647"),
                                        QStringLiteral("Millisecond: 2147483647"),
                                        QStringLiteral("Frame: 9999999")};
    for (std::size_t i = 0; i < StatusPanels.size(); ++i) {
        auto* panel = new QLabel(widest[i], statusBar());
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panel->setFixedWidth(std::max(widths[i], panel->sizeHint().width()));
        panel->clear();
        statusBar()->addWidget(panel, 0);
        StatusPanels[i] = panel;
    }
}

void TFormMain::FormResize() {
    const int width = m_clientArea->width();
    const int height = m_clientArea->height();
    const int trackBarHeight = TrackBar->sizeHint().height();
    TrackBar->setGeometry(PanelMargin, 2, std::max(0, width - 2 * PanelMargin), trackBarHeight);

    const int panelTop = TrackBar->geometry().bottom() + 1 + PanelMargin / 2;
    const int panelHeight = std::max(0, height - panelTop - PanelMargin);
    const TPanelColumns current{PanelEvents->x(), PanelEvents->width(), PanelTitles->x(),
                                PanelTitles->width()};
    const TPanelColumns columns =
        LayoutPanels(width, PanelMargin, IsEventsPanelVisible(), IsTitlesPanelVisible(), current);
    PanelEvents->setGeometry(columns.EventsLeft, panelTop, columns.EventsWidth, panelHeight);
    PanelTitles->setGeometry(columns.TitlesLeft, panelTop, columns.TitlesWidth, panelHeight);
}

bool TFormMain::IsEventsPanelVisible() const {
    return !PanelEvents->isHidden();
}

bool TFormMain::IsTitlesPanelVisible() const {
    return !PanelTitles->isHidden();
}

void TFormMain::SetEventsPanelVisible(bool visible) {
    PanelEvents->setVisible(visible);
    Action(Id::ActionPanelEvents)->setChecked(visible);
    FormResize();
}

void TFormMain::SetTitlesPanelVisible(bool visible) {
    PanelTitles->setVisible(visible);
    Action(Id::ActionPanelTitles)->setChecked(visible);
    FormResize();
}

void TFormMain::ActionPanelEventsExecute() {
    SetEventsPanelVisible(!IsEventsPanelVisible());
}

void TFormMain::ActionPanelTitlesExecute() {
    SetTitlesPanelVisible(!IsTitlesPanelVisible());
}

void TFormMain::ResetColumnWidths() {
    for (QTableWidget* grid : {StringGridMessages, StringGridTitles}) {
        for (int column = 0; column < grid->columnCount(); ++column)
            grid->horizontalHeader()->resizeSection(column, DefaultColumnWidth);
    }
}

bool TFormMain::SetEventsColumnWidth(const QString& heading, int32_t width) {
    return SetColumnWidthByHeading(*StringGridMessages, heading, width);
}

bool TFormMain::SetTitlesColumnWidth(const QString& heading, int32_t width) {
    return SetColumnWidthByHeading(*StringGridTitles, heading, width);
}

TEditorLayout TFormMain::CaptureLayout() const {
    TEditorLayout layout;
    layout.Events = {IsEventsPanelVisible(), ColumnWidths(*StringGridMessages)};
    layout.Titles = {IsTitlesPanelVisible(), ColumnWidths(*StringGridTitles)};
    for (TToolWindow window : AllToolWindows) {
        const QRect frame = ToolWindow(window)->frameGeometry();
        layout.ToolWindows[static_cast<std::size_t>(window)] = {IsToolWindowTicked(window), frame.x(),
                                                                frame.y(), frame.width(), frame.height()};
    }
    return layout;
}
