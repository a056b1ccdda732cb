#pragma once

#include "KyBaseGlobal.h"

#include <QDialog>

// Base of the host's dialogs. The full framework routes F1 to a help browser showing
// htmlPage(); this stand-in has no help browser, so both event handlers only forward to
// QDialog and exist so that subclasses inherit the same virtual interface.
class KYBASE_EXPORT KyDialog : public QDialog
{
    Q_OBJECT

public:
    explicit KyDialog(QWidget *parent = nullptr);
    ~KyDialog() override;

    // Name of the help page that documents the dialog.
    virtual QString htmlPage() const;

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
};
