#include "HostWindow.h"

#include "KyGeneralPlugin.h"
#include "KyProjectManager.h"
#include "PluginRegistry.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>

HostWindow::HostWindow(const PluginRegistry &registry, QWidget *parent)
    : QMainWindow(parent), m_registry(registry)
{
    setWindowTitle(tr("KyHost"));
    resize(720, 420);
    m_hintLabel = new QLabel;
    m_hintLabel->setAlignment(Qt::AlignCenter);
    setCentralWidget(m_hintLabel);

    m_projectLabel = new QLabel;
    statusBar()->addWidget(m_projectLabel, 1);

    createMenus();
    addPluginActions();
    connect(&KyProjectManager::instance(), &KyProjectManager::projectChanged, this,
            &HostWindow::updateProjectState);
    updateProjectState();
}

void HostWindow::createMenus()
{
    QMenu *projectMenu = menuBar()->addMenu(tr("&Project"));
    projectMenu->addAction(tr("&Open..."), this, &HostWindow::openProject, QKeySequence::Open);
    m_closeProjectAction = projectMenu->addAction(tr("&Close"), this, &HostWindow::closeProject);
    projectMenu->addSeparator();
    projectMenu->addAction(tr("&Quit"), qApp, &QApplication::closeAllWindows, QKeySequence::Quit);

    m_toolsMenu = menuBar()->addMenu(tr("&Tools"));

    QMenu *helpMenu = menuBar()->addMenu(tr("&Help"));
    helpMenu->addAction(tr("&Plug-ins..."), this, &HostWindow::showPlugins);
}

void HostWindow::addPluginActions()
{
    // Each plug-in is asked for its action once; the host owns the action from then on.
    for (KyGeneralPlugin *plugin : m_registry.plugins()) {
        QAction *action = plugin->createAction();
        if (!action)
            continue;
        action->setParent(this);
        m_toolsMenu->addAction(action);
        m_pluginActions.append({plugin, action});
    }
    if (m_pluginActions.isEmpty())
        m_toolsMenu->addAction(tr("(no plug-ins)"))->setEnabled(false);
}

void HostWindow::updateProjectState()
{
    const KyProjectManager &manager = KyProjectManager::instance();
    const bool open = manager.isOpen();
    m_projectLabel->setText(open ? tr("Project: %1").arg(manager.define().projectPath)
                                 : tr("No project open"));
    m_hintLabel->setText(open ? tr("Choose a tool from the Tools menu.")
                              : tr("Open a project (Project > Open...), then choose a tool "
                                   "from the Tools menu."));
    m_closeProjectAction->setEnabled(open);
    for (const PluginAction &entry : qAsConst(m_pluginActions))
        entry.action->setEnabled(open || !entry.plugin->needProject());
}

void HostWindow::openProject()
{
    const QString directory = QFileDialog::getExistingDirectory(
        this, tr("Open project"), KyProjectManager::instance().define().projectPath);
    if (directory.isEmpty())
        return;
    if (!KyProjectManager::instance().openProject(directory))
        QMessageBox::warning(this, tr("Open project"), KyProjectManager::instance().errorString());
}

void HostWindow::closeProject()
{
    KyProjectManager::instance().closeProject();
}

void HostWindow::showPlugins()
{
    QString text = tr("<p>Plug-in directory: %1</p>").arg(m_registry.directory().toHtmlEscaped());
    text += tr("<p><b>Loaded</b></p><ul>");
    for (int i = 0; i < m_registry.plugins().size(); ++i)
        text += QStringLiteral("<li>%1 — %2</li>")
                    .arg(m_registry.pluginFiles().at(i).toHtmlEscaped(),
                         m_registry.plugins().at(i)->name().toHtmlEscaped());
    text += QStringLiteral("</ul>");
    if (!m_registry.failures().isEmpty()) {
        text += tr("<p><b>Not loaded</b></p><ul>");
        for (const PluginRegistry::Failure &failure : m_registry.failures())
            text += QStringLiteral("<li>%1: %2</li>")
                        .arg(failure.fileName.toHtmlEscaped(), failure.reason.toHtmlEscaped());
        text += QStringLiteral("</ul>");
    }
    QMessageBox::information(this, tr("Plug-ins"), text);
}
