#pragma once

#include "CrossPlotParam.h"
#include "KyDialog.h"

class Ui_CrossPlotDialog;

// Scaffold: replaced by the parameter dialog.
class CrossPlotDialog : public KyDialog
{
    Q_OBJECT

public:
    explicit CrossPlotDialog(QWidget *parent = nullptr);
    ~CrossPlotDialog() override;

    QString htmlPage() const override;

private:
    Ui_CrossPlotDialog *ui;
    CrossPlotParam param;
    QString projectPath;
};
