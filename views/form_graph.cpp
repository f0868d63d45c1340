#include "views/form_graph.h"

TFormGraph::TFormGraph(QWidget* owner, TProject& project)
    : TSecondaryWindow(owner, QStringLiteral("Graph"), QSize(656, 176)), m_project(project) {}
