#pragma once

#include "CrossPlotParam.h"

#include <QMainWindow>

class Ui_CrossPlotMap;

// Scaffold: replaced by the crossplot window.
class CrossPlotMap : public QMainWindow
{
    Q_OBJECT

public:
    explicit CrossPlotMap(CrossPlotParam param, QWidget *parent = nullptr);
    ~CrossPlotMap() override;

private:
    Ui_CrossPlotMap *ui;
    CrossPlotParam param;
};
