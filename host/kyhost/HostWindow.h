#pragma once

#include <QList>
#include <QMainWindow>

class QAction;
class QLabel;
class QMenu;
class KyGeneralPlugin;
class PluginRegistry;

// The stand-in host: opens a project and offers each general plug-in's action in "Tools".
class HostWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit HostWindow(const PluginRegistry &registry, QWidget *parent = nullptr);

private slots:
    void openProject();
    void closeProject();
    void showPlugins();
    void updateProjectState();

private:
    void createMenus();
    void addPluginActions();

    struct PluginAction
    {
        KyGeneralPlugin *plugin;
        QAction *action;
    };

    const PluginRegistry &m_registry;
    QMenu *m_toolsMenu = nullptr;
    QAction *m_closeProjectAction = nullptr;
    QLabel *m_projectLabel = nullptr;
    QLabel *m_hintLabel = nullptr;
    QList<PluginAction> m_pluginActions;
};
