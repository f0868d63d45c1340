#include "capture/ui/form_event_buttons.h"

#include "capture/event_commands.h"

#include <QAction>
#include <QPushButton>

TFormEventButtons::TFormEventButtons(QWidget* owner, TProject& project)
    : TSecondaryWindow(owner, QStringLiteral("Event types buttons"), QSize(160, 33)), m_project(project) {
    SetButtons({});
}

void TFormEventButtons::SetButtons(const std::vector<QAction*>& commands) {
    for (QPushButton* button : m_buttons)
        delete button;
    m_buttons.clear();
    for (std::size_t n = 0; n < commands.size(); ++n) {
        QAction* command = commands[n];
        const auto index = static_cast<int32_t>(n);
        auto* button = new QPushButton(command->text(), this);
        button->setObjectName(EventButtonName(index));
        button->setGeometry(EventButtonGeometry(index));
        // A click must not take the focus away from where the user types or
        // from the video window they watch.
        button->setFocusPolicy(Qt::NoFocus);
        connect(button, &QPushButton::clicked, command, &QAction::trigger);
        button->show();
        m_buttons.push_back(button);
    }
    const QSize size = EventButtonsWindowSize(static_cast<int32_t>(m_buttons.size()));
    setFixedSize(size);
}
