#include "KyDialog.h"

KyDialog::KyDialog(QWidget *parent) : QDialog(parent)
{
}

KyDialog::~KyDialog() = default;

QString KyDialog::htmlPage() const
{
    return QString();
}

void KyDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
}

void KyDialog::keyPressEvent(QKeyEvent *event)
{
    QDialog::keyPressEvent(event);
}
