#include "CrossPlot.h"

#include "CrossPlotDialog.h"

#include <QAction>

CrossPlot::CrossPlot() = default;

CrossPlot::~CrossPlot() = default;

QString CrossPlot::name() const
{
    return tr("Offset-FB CrossPlot");
}

int CrossPlot::generalID() const
{
    return 2;
}

QAction *CrossPlot::createAction() const
{
    auto *action = new QAction(tr("Offset-FB CrossPlot"), nullptr);
    connect(action, SIGNAL(triggered(bool)), this, SLOT(slotAction(bool)));
    return action;
}

void CrossPlot::slotAction(bool)
{
    auto *dialog = new CrossPlotDialog(nullptr);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
}
