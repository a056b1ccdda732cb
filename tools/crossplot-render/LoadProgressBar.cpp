#include "LoadProgressBar.h"

#include <QByteArray>
#include <cstdio>

LoadProgressBar::LoadProgressBar(const QString &label) : m_label(label)
{
    draw(0);
}

LoadProgressBar::~LoadProgressBar()
{
    std::fputc('\n', stderr);
}

void LoadProgressBar::draw(int value)
{
    const int percent = int(qBound<qint64>(
        0, m_records > 0 && m_records < 100 ? value * 100 / m_records : value, 100));
    if (percent == m_drawn)
        return;
    m_drawn = percent;
    constexpr int Width = 40;
    const int filled = Width * percent / 100;
    std::fprintf(stderr, "\r%s [%s%s] %3d%%", qPrintable(m_label),
                 QByteArray(filled, '#').constData(), QByteArray(Width - filled, ' ').constData(),
                 percent);
    std::fflush(stderr);
}
