#pragma once

#include <QObject>
#include <QString>
#include <QtGlobal>

class QAction;

#if defined(KYPLUGINS_LIBRARY)
#define KYPLUGINS_EXPORT Q_DECL_EXPORT
#else
#define KYPLUGINS_EXPORT Q_DECL_IMPORT
#endif

// The identifier a plug-in library names in its metadata; the host loads only libraries that
// name exactly this one. The version part changes when the interface below changes.
#define KyGeneralPlugin_iid "org.kyhost.KyPlugins/1.0/KyGeneralPlugin"

// Base of every general plug-in: the host asks it for a name, an ID and an action, once.
class KYPLUGINS_EXPORT KyGeneralPlugin : public QObject
{
    Q_OBJECT

public:
    KyGeneralPlugin();
    ~KyGeneralPlugin() override;

    virtual QString name() const = 0;
    virtual int generalID() const = 0;
    // Most tools work on a project's data, so a plug-in that does not must say so.
    virtual bool needProject() const;
    // A new action owned by the caller; triggering it runs the plug-in's command.
    virtual QAction *createAction() const = 0;
};

Q_DECLARE_INTERFACE(KyGeneralPlugin, KyGeneralPlugin_iid)
