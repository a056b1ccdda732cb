#pragma once

#include "CrossPlotParam.h"
#include "KyDialog.h"

class Ui_CrossPlotDialog;

// Modeless dialog that asks for the FB file, the offset range and the FB class to plot,
// remembers them per project and opens a crossplot window on every accepted OK.
class CrossPlotDialog : public KyDialog
{
    Q_OBJECT

public:
    explicit CrossPlotDialog(QWidget *parent = nullptr);
    ~CrossPlotDialog() override;

    QString htmlPage() const override;

private slots:
    void on_fbName_textChanged();
    void on_openButton_clicked();
    void on_minOffset_valueChanged();
    void on_maxOffset_valueChanged();
    // Stays open on success, so the user can open several crossplots in a row.
    void accept() override;
    void on_plotCorrectFB_clicked();
    void on_plotErrorFB_clicked();
    void on_plotAllFB_clicked();

private:
    void loadParameters();
    void saveParameters();
    void showParameters();
    bool checkParameters();

    Ui_CrossPlotDialog *ui;
    CrossPlotParam param;
    QString projectPath;
};
