#include "PointPicker.h"
#include "RealScaleDraw.h"
#include "velPicker.h"

#include <QtTest>
#include <qwt_plot.h>
#include <qwt_plot_canvas.h>
#include <qwt_plot_layout.h>

class tst_PlotPickers : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void pointTrackerText_data();
    void pointTrackerText();
    void velocityText_data();
    void velocityText();
    void scaleLabels();

private:
    QwtPlot plot;
};

void tst_PlotPickers::initTestCase()
{
    // A locale with group separators, so that texts which must not have them would show them.
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    // Without frames, margins or axes the canvas pixel (x, y) is x / 10 m and (10000 - y) / 10
    // ms. The plot is never shown, so its size costs nothing.
    qobject_cast<QwtPlotCanvas *>(plot.canvas())->setFrameStyle(QFrame::NoFrame);
    plot.enableAxis(QwtPlot::xBottom, false);
    plot.enableAxis(QwtPlot::yLeft, false);
    plot.plotLayout()->setCanvasMargin(0);
    plot.setAxisScale(QwtPlot::xBottom, 0.0, 2000.0);
    plot.setAxisScale(QwtPlot::yLeft, 0.0, 1000.0);
    plot.resize(20001, 10001);
    plot.updateLayout();
    plot.replot();
}

void tst_PlotPickers::pointTrackerText_data()
{
    QTest::addColumn<QPoint>("pixel");
    QTest::addColumn<QString>("text");

    QTest::newRow("(812.6 m, 87.4 ms)") << QPoint(8126, 9126) << "(813 m, 87 ms)";
    QTest::newRow("(1499.4 m, 87.6 ms)") << QPoint(14994, 9124) << "(1499 m, 88 ms)";
}

void tst_PlotPickers::pointTrackerText()
{
    QFETCH(QPoint, pixel);
    QFETCH(QString, text);

    PointPicker picker(plot.canvas());
    // Asked through the public base, as the library does while the mouse moves.
    QCOMPARE(static_cast<const QwtPicker &>(picker).trackerText(pixel).text(), text);
}

void tst_PlotPickers::velocityText_data()
{
    QTest::addColumn<QLine>("line");    // in canvas pixels
    QTest::addColumn<bool>("released"); // the press that starts the line, before the move
    QTest::addColumn<QString>("text");

    QTest::newRow("(500 m, 100 ms) to (1500 m, 500 ms)")
        << QLine(5000, 9000, 15000, 5000) << true << " ( V = 2500 m/s ) ";
    QTest::newRow("drawn backwards")
        << QLine(15000, 5000, 5000, 9000) << true << " ( V = 2500 m/s ) ";
    QTest::newRow("falling line") << QLine(15000, 9000, 5000, 5000) << true << " ( V = 2500 m/s ) ";
    QTest::newRow("horizontal") << QLine(2000, 7000, 12000, 7000) << true << " ( V = inf m/s ) ";
    QTest::newRow("vertical") << QLine(8000, 9000, 8000, 4000) << true << " ( V = 0 m/s ) ";
    QTest::newRow("coinciding points") << QLine(7000, 3000, 7000, 3000) << true << "";
    QTest::newRow("moved before release") << QLine(5000, 9000, 15000, 5000) << false << "";
}

void tst_PlotPickers::velocityText()
{
    QFETCH(QLine, line);
    QFETCH(bool, released);
    QFETCH(QString, text);

    const auto send = [this](QEvent::Type type, const QPoint &pos, Qt::MouseButtons buttons) {
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, pos, button, buttons, Qt::NoModifier);
        QApplication::sendEvent(plot.canvas(), &event);
    };
    velPicker picker(plot.canvas());
    send(QEvent::MouseButtonPress, line.p1(), Qt::LeftButton);
    if (released)
        send(QEvent::MouseButtonRelease, line.p1(), Qt::NoButton);
    send(QEvent::MouseMove, line.p2(), released ? Qt::NoButton : Qt::LeftButton);

    QVERIFY(picker.isActive());
    QCOMPARE(static_cast<const QwtPicker &>(picker).trackerText(line.p2()).text(), text);
}

void tst_PlotPickers::scaleLabels()
{
    // Whole numbers, rounded, never grouped or in exponent notation, whatever the locale.
    const RealScaleDraw draw;
    QCOMPARE(draw.label(1499.5).text(), QStringLiteral("1500"));
    QCOMPARE(draw.label(2000000.0).text(), QStringLiteral("2000000"));
}

QTEST_MAIN(tst_PlotPickers)
#include "tst_PlotPickers.moc"
