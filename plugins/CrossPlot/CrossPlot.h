#pragma once

#include "KyGeneralPlugin.h"

// The plug-in object the host loads: it offers the "Offset-FB CrossPlot" action and opens a
// new parameter dialog on every trigger. It keeps no state; dialogs and windows live alone.
class Q_DECL_EXPORT CrossPlot : public KyGeneralPlugin
{
    Q_OBJECT
    // Qt's tools (qtplugininfo) expect a "MetaData" object in a plug-in's metadata. moc before
    // Qt 5.15 writes an empty one from the empty metadata file; moc 5.15 leaves an empty object
    // out, so there CrossPlot.cpp writes the metadata and the entry points itself.
#if QT_VERSION < QT_VERSION_CHECK(5, 15, 0)
    Q_PLUGIN_METADATA(IID KyGeneralPlugin_iid FILE "CrossPlot.json")
#endif
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
