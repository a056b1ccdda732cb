#pragma once

#include <QObject>
#include <QString>

// Mirrors the window's load progress dialog as a text progress bar on stderr. It watches the
// application for the dialog being shown, so the window's own loading code runs unchanged.
class LoadProgressBar : public QObject
{
    Q_OBJECT

public:
    explicit LoadProgressBar(const QString &label, QObject *parent = nullptr);
    ~LoadProgressBar() override;

public slots:
    // Draws the bar at percent (0..100; larger values fill it).
    void draw(int percent);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QString m_label;
    int m_drawn = -1;
};
