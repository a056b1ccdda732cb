#include "CrossPlotMap.h"
#include "PointPicker.h"

#include <KyProjectManager.h>

#include <QtTest>
#include <QtWidgets>
#include <qwt_color_map.h>
#include <qwt_plot.h>
#include <qwt_plot_grid.h>
#include <qwt_plot_spectrogram.h>
#include <qwt_scale_widget.h>

class tst_CrossPlotMap : public QObject
{
    Q_OBJECT

    QTemporaryDir dataDir; // also the project directory, which images are exported into
    QString fbName;

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QVERIFY(KyProjectManager::instance().openProject(dataDir.path()));
        // A 16-byte header (record count, an unused word, offsets 0..3000 m) and 84-byte records
        // (offset at byte 8, time as float32 at 60, class at 64): 30 correct picks along a
        // 2500 m/s line and one at 2900 m and 2000 ms, then 1000 error picks.
        QFile file(dataDir.filePath(QStringLiteral("picks.fb")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QDataStream out(&file);
        out.setByteOrder(QDataStream::LittleEndian);
        out.setFloatingPointPrecision(QDataStream::SinglePrecision);
        out << qint32(1030) << qint32(0) << qint32(0) << qint32(3000);
        const auto record = [&out](qint32 offset, float time, qint32 fbClass) {
            out << qint64(0) << offset;
            out.writeRawData(QByteArray(48, '\0').constData(), 48);
            out << time << fbClass << qint64(0) << qint64(0);
        };
        for (int offset = 100; offset < 3000; offset += 100)
            record(offset, float(offset) / 2.5f + 0.5f, 0);
        record(2900, 2000.0f, 0);
        for (int error = 0; error < 1000; ++error)
            record(1000, 100.0f, 2);
        fbName = file.fileName();
    }

    void infoLabels_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("count");

        QTest::newRow("correct, share rounded down") << QStringLiteral("Correct") << "30 ( 2.91% )";
        QTest::newRow("error, share rounded up") << QStringLiteral("Error") << "1,000 ( 97.09% )";
        QTest::newRow("both") << QStringLiteral("Both") << "1,030 ( 100.00% )";
    }

    void infoLabels()
    {
        QFETCH(QString, type);
        QFETCH(QString, count);

        const CrossPlotMap window(
            CrossPlotParam{fbName, type == "Correct", type == "Error", type == "Both"});
        QCOMPARE(window.findChild<QLabel *>(QStringLiteral("forTypeLabel"))->text(), type);
        QCOMPARE(window.findChild<QLabel *>(QStringLiteral("forFBNumLabel"))->text(), count);
    }

    void shownPlot()
    {
        CrossPlotMap window(CrossPlotParam{fbName});
        QwtPlot *plot = window.plotWidget();
        QWidget *canvas = plot->canvas();
        // Already before showing: laid out from label margins that do not fit, the canvas map,
        // which places data, grid and pickers, would disagree with the labels the scale draws.
        const QwtScaleWidget *scale = plot->axisWidget(QwtPlot::xBottom);
        const double shift = scale->x() - canvas->x();
        const QwtScaleMap drawn = scale->scaleDraw()->scaleMap();
        QCOMPARE(plot->canvasMap(QwtPlot::xBottom).p1(), drawn.p1() + shift);
        QCOMPARE(plot->canvasMap(QwtPlot::xBottom).p2(), drawn.p2() + shift);

        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        // The latest pick at 2000 ms plus the margin; single picks top the density scale at 20.
        QCOMPARE(plot->axisScaleDiv(QwtPlot::yLeft).interval(), QwtInterval(0.0, 2100.0));
        QCOMPARE(plot->axisWidget(QwtPlot::yRight)->colorBarInterval(), QwtInterval(0.0, 20.0));
        QCOMPARE(plot->footer().text(), QStringLiteral("FB file: ") + fbName);

        // The exported image is the plot as it looks without the tracker.
        const QImage withoutTracker = plot->grab().toImage().convertToFormat(QImage::Format_RGB32);
        // Not blank: density cells in colour; the grid and the frame, nearly grey, turn grey
        // at four bits a channel.
        const QImage cells = withoutTracker.copy(canvas->geometry());
        QVERIFY(!cells.convertToFormat(QImage::Format_RGB444).allGray());
        QTest::mouseMove(canvas, canvas->rect().center());
        QVERIFY(window.pointTracker()->isActive());
        const QString image = dataDir.filePath(QStringLiteral("plot.png"));
        QVERIFY(window.savePlotImage(image));
        QCOMPARE(QImage(image).convertToFormat(QImage::Format_RGB32), withoutTracker);
        QVERIFY(window.pointTracker()->isEnabled());

        // Only left presses toggle the tracker text, asked through the public base as the
        // library does while the mouse moves. Of the buttons held, the lowest is pressed.
        const QwtPicker *tracker = window.pointTracker();
        const auto pressHides = [canvas, tracker](Qt::MouseButtons held) {
            QMouseEvent press(QEvent::MouseButtonPress, QPoint(40, 30),
                              Qt::MouseButton(int(held) & -int(held)), held, Qt::NoModifier);
            QApplication::sendEvent(canvas, &press);
            return tracker->trackerText({40, 30}).isEmpty();
        };
        QVERIFY(pressHides(Qt::LeftButton));
        QVERIFY(pressHides(Qt::RightButton));
        QVERIFY(pressHides(Qt::LeftButton | Qt::RightButton));
        QVERIFY(!pressHides(Qt::LeftButton));

        window.findChild<QComboBox *>(QStringLiteral("backgroundColor"))->setCurrentIndex(2);
        QCOMPARE(plot->canvasBackground().color(), QColor(100, 200, 255));
        window.findChild<QSpinBox *>(QStringLiteral("pointSize"))->setValue(8);
        QCOMPARE(plot->axisWidget(QwtPlot::yRight)->colorBarInterval(), QwtInterval(0.0, 20.0));
    }

    void colorControls_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<int>("value"); // for the Reset button, cyan's value before the click
        QTest::addColumn<int>("replots");
        QTest::addColumn<QVector<double>>("stops");
        QTest::addColumn<QList<QColor>>("colors");

        // The spin slots divide in single precision, Reset sets exact ratios.
        const QList<QColor> order{Qt::blue, Qt::cyan, Qt::green, Qt::yellow, Qt::red};
        QTest::newRow("as constructed, reset at default")
            << "resetColorSetting" << 15 << 0 << QVector<double>{0, 0.15f, 0.25, 0.55f, 1} << order;
        QTest::newRow("reset after only cyan moved")
            << "resetColorSetting" << 90 << 1 << QVector<double>{0, 0.15f, 0.25, 0.55, 1} << order;
        QTest::newRow("cyan spin to 40, past green")
            << "cyanSpin" << 40 << 1 << QVector<double>{0, 0.25, 0.4f, 0.55f, 1}
            << QList<QColor>{Qt::blue, Qt::green, Qt::cyan, Qt::yellow, Qt::red};
        QTest::newRow("green slider to 30")
            << "greenSlider" << 30 << 1 << QVector<double>{0, 0.15f, 0.3f, 0.55f, 1} << order;
        QTest::newRow("yellow slider to 70")
            << "yellowSlider" << 70 << 1 << QVector<double>{0, 0.15f, 0.25, 0.7f, 1} << order;
    }

    void colorControls()
    {
        QFETCH(QString, control);
        QFETCH(int, value);
        QFETCH(int, replots);
        QFETCH(QVector<double>, stops);
        QFETCH(QList<QColor>, colors);

        const CrossPlotMap window(CrossPlotParam{fbName});
        QwtPlot *plot = window.plotWidget();
        auto *reset = window.findChild<QAbstractButton *>(control);
        if (reset)
            window.findChild<QSpinBox *>(QStringLiteral("cyanSpin"))->setValue(value);
        // Every replot hands the scales to the grids, so this one counts replots.
        struct ReplotCounter : QwtPlotGrid
        {
            int replots = 0;
            void updateScaleDiv(const QwtScaleDiv &, const QwtScaleDiv &) override { ++replots; }
        } counter;
        counter.attach(plot);
        if (reset)
            reset->click();
        else
            window.findChild<QWidget *>(control)->setProperty("value", value);
        QCOMPARE(counter.replots, replots);

        const QwtPlotItemList items = plot->itemList(QwtPlotItem::Rtti_PlotSpectrogram);
        QCOMPARE(items.size(), 1);
        for (const QwtColorMap *map : {static_cast<QwtPlotSpectrogram *>(items.first())->colorMap(),
                                       plot->axisWidget(QwtPlot::yRight)->colorMap()}) {
            const auto *linear = dynamic_cast<const QwtLinearColorMap *>(map);
            QVERIFY(linear);
            QCOMPARE(linear->colorStops(), stops);
            QList<QColor> atStops;
            for (double stop : stops)
                atStops << QColor(linear->rgb(QwtInterval(0.0, 1.0), stop));
            QCOMPARE(atStops, colors);
        }
    }

    void exportSuffix_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("written");

        QTest::newRow("no suffix") << QStringLiteral("result") << "result.png";
        QTest::newRow("upper-case png suffix kept") << QStringLiteral("Upper.Png") << "Upper.Png";
        QTest::newRow("other suffix, png appended") << QStringLiteral("map.bmp") << "map.bmp.png";
    }

    void exportSuffix()
    {
        QFETCH(QString, typed);
        QFETCH(QString, written);

        CrossPlotMap window(CrossPlotParam{fbName});
        QTimer poll;
        connect(&poll, &QTimer::timeout, [&typed] {
            // Accepting the dialog ends its exec() only once that loop runs.
            auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            if (dialog && QThread::currentThread()->loopLevel() > 0) {
                dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(typed);
                static_cast<QDialog *>(dialog)->accept();
            }
        });
        poll.start(10);
        QMetaObject::invokeMethod(&window, "slot_savePlot");
        // Into the project directory, where the dialog opens.
        QCOMPARE(QDir(dataDir.path()).entryList({typed + '*'}), QStringList{written});
        QCOMPARE(QImage(dataDir.filePath(written)).size(), window.plotWidget()->size());
    }
};

QTEST_MAIN(tst_CrossPlotMap)
#include "tst_CrossPlotMap.moc"
