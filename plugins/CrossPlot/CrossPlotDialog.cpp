#include "CrossPlotDialog.h"

#include "CrossPlotMap.h"
#include "InputCheck.h"
#include "KyBaseUtil.h"
#include "KyProjectManager.h"
#include "ui_CrossPlotDialog.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QMessageBox>
#include <QPalette>
#include <QPushButton>
#include <QSpacerItem>

namespace {

const char KeyFbName[] = "CrossPlot_CrossPlotDialog_fbName";
const char KeyMinOffset[] = "CrossPlot_CrossPlotDialog_minOffset";
const char KeyMaxOffset[] = "CrossPlot_CrossPlotDialog_maxOffset";
const char KeyPlotCorrectFB[] = "CrossPlot_CrossPlotDialog_plotCorrectFB";
const char KeyPlotErrorFB[] = "CrossPlot_CrossPlotDialog_plotErrorFB";
const char KeyPlotAllFB[] = "CrossPlot_CrossPlotDialog_plotAllFB";
const char KeyApplyLVLCorr[] = "CrossPlot_CrossPlotDialog_applyLVLCorr";
const char KeyUpVel[] = "CrossPlot_CrossPlotDialog_upVel";
const char KeyUpShift[] = "CrossPlot_CrossPlotDialog_upShift";
const char KeyDownVel[] = "CrossPlot_CrossPlotDialog_downVel";
const char KeyDownShift[] = "CrossPlot_CrossPlotDialog_downShift";

const char PinkBackground[] = "background-color: pink";
const char WhiteBackground[] = "background-color: white";

QString loadString(const char *key, const QString &fallback)
{
    return KyBaseUtil::projectValue(QLatin1String(key), QVariant(fallback)).toString();
}

int loadInt(const char *key, int fallback)
{
    return KyBaseUtil::projectValue(QLatin1String(key), QVariant(fallback)).toInt();
}

bool loadBool(const char *key, bool fallback)
{
    return KyBaseUtil::projectValue(QLatin1String(key), QVariant(fallback)).toBool();
}

void markOffsetRange(QSpinBox *minBox, QSpinBox *maxBox, bool legal)
{
    const QString sheet = QLatin1String(legal ? WhiteBackground : PinkBackground);
    minBox->setStyleSheet(sheet);
    maxBox->setStyleSheet(sheet);
}

// The dialog's own error box: critical icon, one fixed-size OK button, and at least 300 pixels
// wide so that short messages do not produce a cramped box.
void showErrorBox(QWidget *parent, const QString &windowIcon, const QString &text)
{
    QMessageBox box(parent);
    box.setWindowIcon(QIcon(windowIcon));
    box.setWindowTitle(CrossPlotDialog::tr("Offset-FB CrossPlot"));
    box.setIcon(QMessageBox::Critical);
    auto *okButton = new QPushButton(CrossPlotDialog::tr("OK"));
    okButton->setFixedWidth(85);
    okButton->setFixedHeight(27);
    box.addButton(okButton, QMessageBox::YesRole);
    box.setText(text);
    // QMessageBox lays itself out in a grid; should that ever change, the box only stays narrower.
    if (auto *grid = qobject_cast<QGridLayout *>(box.layout())) {
        auto *spacer = new QSpacerItem(300, 0, QSizePolicy::Minimum, QSizePolicy::Expanding);
        grid->addItem(spacer, grid->rowCount(), 0, 1, grid->columnCount());
    }
    box.exec();
}

} // namespace

CrossPlotDialog::CrossPlotDialog(QWidget *parent) : KyDialog(parent), ui(new Ui_CrossPlotDialog)
{
    ui->setupUi(this);
    projectPath = KyProjectManager::instance().define().projectPath;
    loadParameters();
    showParameters();
}

CrossPlotDialog::~CrossPlotDialog()
{
    delete ui;
}

QString CrossPlotDialog::htmlPage() const
{
    return QStringLiteral("w_cover.html");
}

void CrossPlotDialog::loadParameters()
{
    param.fbName = loadString(KeyFbName, param.fbName);
    param.minOffset = loadInt(KeyMinOffset, param.minOffset);
    param.maxOffset = loadInt(KeyMaxOffset, param.maxOffset);
    param.plotCorrectFB = loadBool(KeyPlotCorrectFB, param.plotCorrectFB);
    param.plotErrorFB = loadBool(KeyPlotErrorFB, param.plotErrorFB);
    param.plotAllFB = loadBool(KeyPlotAllFB, param.plotAllFB);
    param.applyLVLCorr = loadBool(KeyApplyLVLCorr, param.applyLVLCorr);
    param.upVel = loadInt(KeyUpVel, param.upVel);
    param.upShift = loadInt(KeyUpShift, param.upShift);
    param.downVel = loadInt(KeyDownVel, param.downVel);
    param.downShift = loadInt(KeyDownShift, param.downShift);
}

void CrossPlotDialog::saveParameters()
{
    using KyBaseUtil::setProjectValue;
    setProjectValue(QLatin1String(KeyFbName), QVariant(param.fbName));
    setProjectValue(QLatin1String(KeyMinOffset), QVariant(param.minOffset));
    setProjectValue(QLatin1String(KeyMaxOffset), QVariant(param.maxOffset));
    setProjectValue(QLatin1String(KeyPlotCorrectFB), QVariant(param.plotCorrectFB));
    setProjectValue(QLatin1String(KeyPlotErrorFB), QVariant(param.plotErrorFB));
    setProjectValue(QLatin1String(KeyPlotAllFB), QVariant(param.plotAllFB));
    setProjectValue(QLatin1String(KeyApplyLVLCorr), QVariant(param.applyLVLCorr));
    setProjectValue(QLatin1String(KeyUpVel), QVariant(param.upVel));
    setProjectValue(QLatin1String(KeyUpShift), QVariant(param.upShift));
    setProjectValue(QLatin1String(KeyDownVel), QVariant(param.downVel));
    setProjectValue(QLatin1String(KeyDownShift), QVariant(param.downShift));
}

void CrossPlotDialog::showParameters()
{
    ui->fbName->setText(param.fbName);
    // setText stays silent when the text does not change, e.g. for an empty name.
    on_fbName_textChanged();
    ui->minOffset->setValue(param.minOffset);
    ui->maxOffset->setValue(param.maxOffset);
    // Checking by program leaves the flags as loaded, even when none or several are set.
    if (param.plotCorrectFB)
        ui->plotCorrectFB->setChecked(true);
    else if (param.plotErrorFB)
        ui->plotErrorFB->setChecked(true);
    else
        ui->plotAllFB->setChecked(true);
}

bool CrossPlotDialog::checkParameters()
{
    const InputCheck check = InputCheck::of(param);
    switch (check.problem) {
    case InputCheck::None:
        break;
    case InputCheck::OffsetRange:
        showErrorBox(this, QStringLiteral(":/resource/images/logo_16x16.png"), check.message);
        ui->minOffset->setFocus();
        break;
    case InputCheck::OpenFile:
        QMessageBox::critical(this, tr("Error"), check.message, QMessageBox::Close,
                              QMessageBox::NoButton);
        break;
    case InputCheck::Header:
        showErrorBox(this, QStringLiteral(":/resource/images/logo.ico"), check.message);
        break;
    }
    return check.passed();
}

void CrossPlotDialog::on_fbName_textChanged()
{
    param.fbName = ui->fbName->text();
    if (param.fbName.isEmpty()) {
        ui->fbName->setStyleSheet(QLatin1String(PinkBackground));
        ui->okButton->setEnabled(false);
        return;
    }

    ui->fbName->setStyleSheet(QLatin1String(WhiteBackground));
    const QFileInfo info(param.fbName);
    const bool unusable = !info.exists() || info.size() == 0;
    QPalette palette;
    palette.setColor(QPalette::Text, unusable ? Qt::red : Qt::black);
    ui->fbName->setPalette(palette);
    ui->okButton->setEnabled(!unusable);
}

void CrossPlotDialog::on_openButton_clicked()
{
    const QString fileName = QFileDialog::getOpenFileName(this, tr("Open"), projectPath,
                                                          tr("FB files (*.cal *.fb *.fit)"));
    if (fileName.isEmpty())
        return;
    param.fbName = fileName;
    ui->fbName->setText(fileName);
}

void CrossPlotDialog::on_minOffset_valueChanged()
{
    param.minOffset = ui->minOffset->value();
    markOffsetRange(ui->minOffset, ui->maxOffset, param.offsetRangeIsLegal());
}

void CrossPlotDialog::on_maxOffset_valueChanged()
{
    param.maxOffset = ui->maxOffset->value();
    markOffsetRange(ui->minOffset, ui->maxOffset, param.offsetRangeIsLegal());
}

void CrossPlotDialog::accept()
{
    if (!checkParameters())
        return;
    saveParameters();
    auto *map = new CrossPlotMap(param, nullptr);
    map->setAttribute(Qt::WA_DeleteOnClose);
    map->show();
}

void CrossPlotDialog::on_plotCorrectFB_clicked()
{
    param.plotCorrectFB = true;
    param.plotErrorFB = false;
    param.plotAllFB = false;
}

void CrossPlotDialog::on_plotErrorFB_clicked()
{
    param.plotCorrectFB = false;
    param.plotErrorFB = true;
    param.plotAllFB = false;
}

void CrossPlotDialog::on_plotAllFB_clicked()
{
    param.plotCorrectFB = false;
    param.plotErrorFB = false;
    param.plotAllFB = true;
}
