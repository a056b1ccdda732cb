#pragma once

#include "KyGeneralPlugin.h"

// The plug-in object the host loads: it offers the "Offset-FB CrossPlot" action and opens a
// new parameter dialog on every trigger. It keeps no state; dialogs and windows live alone.
class Q_DECL_EXPORT CrossPlot : public KyGeneralPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID KyGeneralPlugin_iid)
    Q_INTERFACES(KyGeneralPlugin)

public:
    CrossPlot();
    ~CrossPlot() override;

    QString name() const override;
    int generalID() const override;
    QAction *createAction() const override;

private slots:
    void slotAction(bool);
};
