#include "CrossPlotMap.h"

#include "ui_CrossPlotMap.h"

CrossPlotMap::CrossPlotMap(CrossPlotParam param, QWidget *parent)
    : QMainWindow(parent), ui(new Ui_CrossPlotMap), param(param)
{
    ui->setupUi(this);
}

CrossPlotMap::~CrossPlotMap()
{
    delete ui;
}
