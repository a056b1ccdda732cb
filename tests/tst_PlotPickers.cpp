#include "PointPicker.h"
#include "RealScaleDraw.h"
#include "velPicker.h"

#include <QMouseEvent>
#include <QtTest>
#include <memory>
#include <qwt_plot.h>
#include <qwt_plot_canvas.h>
#include <qwt_plot_layout.h>

namespace {

// Reach the protected tracker text the library calls while the mouse moves.
class PointPickerProbe : public PointPicker
{
public:
    using PointPicker::PointPicker;
    QwtText textAt(const QPointF &pos) const { return trackerTextF(pos); }
};

class VelPickerProbe : public velPicker
{
public:
    using velPicker::velPicker;
    QwtText text() const { return trackerTextF(QPointF()); }
};

void sendMouse(QWidget *widget, QEvent::Type type, const QPoint &pos, Qt::MouseButton button,
               Qt::MouseButtons buttons)
{
    QMouseEvent event(type, pos, widget->mapToGlobal(pos), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

} // namespace

class tst_PlotPickers : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void pointTrackerText_data();
    void pointTrackerText();

    void velocityText_data();
    void velocityText();
    void velocityTextBeforeRelease();

    void scaleLabel_data();
    void scaleLabel();

private:
    // Pixel (x, y) of the canvas is offset x m and time 1000 - y ms: the canvas is 2001 by
    // 1001 pixels without frame or margins, over 0..2000 m and 0..1000 ms.
    std::unique_ptr<QwtPlot> plot;
};

void tst_PlotPickers::init()
{
    plot.reset(new QwtPlot);
    plot->setContentsMargins(0, 0, 0, 0);
    plot->setFrameStyle(QFrame::NoFrame);
    for (int axis = 0; axis < QwtPlot::axisCnt; ++axis) {
        plot->enableAxis(axis, false);
        plot->plotLayout()->setCanvasMargin(0, axis);
    }
    qobject_cast<QwtPlotCanvas *>(plot->canvas())->setFrameStyle(QFrame::NoFrame);
    plot->setAxisScale(QwtPlot::xBottom, 0.0, 2000.0);
    plot->setAxisScale(QwtPlot::yLeft, 0.0, 1000.0);
    plot->resize(2001, 1001);
    plot->updateLayout();
    plot->replot();
    QCOMPARE(plot->canvas()->contentsRect(), QRect(0, 0, 2001, 1001));
}

void tst_PlotPickers::cleanup()
{
    plot.reset();
}

void tst_PlotPickers::pointTrackerText_data()
{
    QTest::addColumn<QPointF>("pos");
    QTest::addColumn<QString>("text");

    QTest::newRow("offset and time") << QPointF(812.6, 87.2) << QStringLiteral("(813 m, 87 ms)");
    QTest::newRow("time rounded up") << QPointF(812.0, 87.6) << QStringLiteral("(812 m, 88 ms)");
    QTest::newRow("time rounded down") << QPointF(812.0, 87.4) << QStringLiteral("(812 m, 87 ms)");
    QTest::newRow("offset rounded down")
        << QPointF(1499.4, 0.0) << QStringLiteral("(1499 m, 0 ms)");
    QTest::newRow("large offset without separators")
        << QPointF(25000.0, 1500.0) << QStringLiteral("(25000 m, 1500 ms)");
}

void tst_PlotPickers::pointTrackerText()
{
    QFETCH(QPointF, pos);
    QFETCH(QString, text);

    PointPickerProbe picker(plot->canvas());
    const QwtText tracker = picker.textAt(pos);
    QCOMPARE(tracker.text(), text);
    QCOMPARE(tracker.backgroundBrush(), QBrush(QColor(255, 255, 255, 200)));
}

void tst_PlotPickers::velocityText_data()
{
    QTest::addColumn<QPoint>("start");
    QTest::addColumn<QPoint>("end");
    QTest::addColumn<QString>("text");

    // Pixels below are (offset, 1000 - time).
    QTest::newRow("(500 m, 100 ms) to (1500 m, 500 ms)")
        << QPoint(500, 900) << QPoint(1500, 500) << QStringLiteral(" ( V = 2500 m/s ) ");
    QTest::newRow("same line drawn backwards")
        << QPoint(1500, 500) << QPoint(500, 900) << QStringLiteral(" ( V = 2500 m/s ) ");
    QTest::newRow("falling line, right to left")
        << QPoint(1500, 900) << QPoint(500, 500) << QStringLiteral(" ( V = 2500 m/s ) ");
    QTest::newRow("rounded to whole m/s: 1000 m in 300 ms")
        << QPoint(0, 1000) << QPoint(1000, 700) << QStringLiteral(" ( V = 3333 m/s ) ");
    QTest::newRow("horizontal line")
        << QPoint(200, 700) << QPoint(1200, 700) << QStringLiteral(" ( V = inf m/s ) ");
    QTest::newRow("vertical line")
        << QPoint(800, 900) << QPoint(800, 400) << QStringLiteral(" ( V = 0 m/s ) ");
    QTest::newRow("released without moving") << QPoint(700, 300) << QPoint(700, 300) << QString();
}

void tst_PlotPickers::velocityText()
{
    QFETCH(QPoint, start);
    QFETCH(QPoint, end);
    QFETCH(QString, text);

    QWidget *canvas = plot->canvas();
    VelPickerProbe picker(canvas);
    sendMouse(canvas, QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
    sendMouse(canvas, QEvent::MouseButtonRelease, start, Qt::LeftButton, Qt::NoButton);
    sendMouse(canvas, QEvent::MouseMove, end, Qt::NoButton, Qt::NoButton);

    QVERIFY(picker.isActive());
    const QwtText velocity = picker.text();
    QCOMPARE(velocity.text(), text);
    if (!text.isEmpty()) {
        QCOMPARE(velocity.testPaintAttribute(QwtText::PaintUsingTextColor), true);
        QCOMPARE(velocity.color(), QColor(Qt::darkRed));
        QCOMPARE(velocity.backgroundBrush(), QBrush(QColor(255, 255, 255, 200)));
    }
}

void tst_PlotPickers::velocityTextBeforeRelease()
{
    QWidget *canvas = plot->canvas();
    VelPickerProbe picker(canvas);
    sendMouse(canvas, QEvent::MouseButtonPress, QPoint(500, 900), Qt::LeftButton, Qt::LeftButton);
    sendMouse(canvas, QEvent::MouseMove, QPoint(1500, 500), Qt::NoButton, Qt::LeftButton);

    QVERIFY(picker.isActive());
    QCOMPARE(picker.selection().size(), 1);
    QVERIFY(picker.text().isEmpty());
}

void tst_PlotPickers::scaleLabel_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("label");

    QTest::newRow("no group separator") << 1500.0 << QStringLiteral("1500");
    QTest::newRow("no exponent") << 2000000.0 << QStringLiteral("2000000");
    QTest::newRow("rounded up") << 87.6 << QStringLiteral("88");
}

void tst_PlotPickers::scaleLabel()
{
    QFETCH(double, value);
    QFETCH(QString, label);

    QCOMPARE(RealScaleDraw().label(value).text(), label);
}

QTEST_MAIN(tst_PlotPickers)
#include "tst_PlotPickers.moc"
