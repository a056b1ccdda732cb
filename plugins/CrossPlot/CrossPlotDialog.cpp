#include "CrossPlotDialog.h"

#include "ui_CrossPlotDialog.h"

CrossPlotDialog::CrossPlotDialog(QWidget *parent) : KyDialog(parent), ui(new Ui_CrossPlotDialog)
{
    ui->setupUi(this);
}

CrossPlotDialog::~CrossPlotDialog()
{
    delete ui;
}

QString CrossPlotDialog::htmlPage() const
{
    return QStringLiteral("w_cover.html");
}
