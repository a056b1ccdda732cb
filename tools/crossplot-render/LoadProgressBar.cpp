#include "LoadProgressBar.h"

#include <QApplication>
#include <QEvent>
#include <QProgressBar>
#include <QProgressDialog>
#include <cstdio>

LoadProgressBar::LoadProgressBar(const QString &label, QObject *parent)
    : QObject(parent), m_label(label)
{
    qApp->installEventFilter(this);
}

LoadProgressBar::~LoadProgressBar()
{
    qApp->removeEventFilter(this);
    if (m_drawn >= 0)
        std::fputc('\n', stderr);
}

bool LoadProgressBar::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Show) {
        if (auto *dialog = qobject_cast<QProgressDialog *>(watched)) {
            // The dialog's bar emits each new value the loader reports within 0..100.
            if (auto *bar = dialog->findChild<QProgressBar *>())
                connect(bar, &QProgressBar::valueChanged, this, &LoadProgressBar::draw,
                        Qt::UniqueConnection);
            draw(0);
        }
    }
    return QObject::eventFilter(watched, event);
}

void LoadProgressBar::draw(int percent)
{
    if (percent == m_drawn)
        return;
    m_drawn = percent;
    constexpr int Width = 40;
    const int filled = Width * qBound(0, percent, 100) / 100;
    std::fprintf(stderr, "\r%s [%s%s] %3d%%", qPrintable(m_label),
                 QByteArray(filled, '#').constData(), QByteArray(Width - filled, ' ').constData(),
                 percent);
    std::fflush(stderr);
}
