#include "CrossPlotMap.h"
#include "PointPicker.h"

#include <KyProjectManager.h>

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QFileDialog>
#include <QImageReader>
#include <QLabel>
#include <QMouseEvent>
#include <QSlider>
#include <QSpinBox>
#include <QtTest>
#include <functional>
#include <memory>
#include <qwt_color_map.h>
#include <qwt_matrix_raster_data.h>
#include <qwt_plot.h>
#include <qwt_plot_canvas.h>
#include <qwt_plot_spectrogram.h>
#include <qwt_scale_draw.h>
#include <qwt_scale_widget.h>

namespace {

struct Record
{
    qint32 offset;
    float fbTime;
    qint32 fbClass;
};

// An FB file: a 16-byte header (record count at byte 0, an unused word at 4, offset range at 8
// and 12) and 84-byte records (offset at byte 8, time as float32 at 60, class at 64), all
// little-endian.
QByteArray fbBytes(qint32 recordCount, qint32 offsetLow, qint32 offsetHigh,
                   const QVector<Record> &records)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out.setFloatingPointPrecision(QDataStream::SinglePrecision);
    out << recordCount << qint32(0) << offsetLow << offsetHigh;
    const QByteArray gap(48, '\0');
    for (const Record &record : records) {
        out << qint32(0) << qint32(0) << record.offset;
        out.writeRawData(gap.constData(), gap.size());
        out << record.fbTime << record.fbClass;
        out << qint32(0) << qint32(0) << qint32(0) << qint32(0);
    }
    return bytes;
}

QVector<Record> repeated(int count, const Record &record)
{
    return QVector<Record>(count, record);
}

// Runs action on the file dialog once the nested event loop of its exec() runs: closing it
// while show() still processes events would end no loop and leave exec() waiting. A dialog
// that never shows up fails the test instead of hanging it.
void whenFileDialogShown(const std::function<void(QFileDialog *)> &action, int triesLeft = 500)
{
    QTimer::singleShot(10, [=] {
        QWidget *modal = QApplication::activeModalWidget();
        auto *dialog = QThread::currentThread()->loopLevel() > 0
                           ? qobject_cast<QFileDialog *>(modal)
                           : nullptr;
        if (dialog)
            action(dialog);
        else if (triesLeft > 0)
            whenFileDialogShown(action, triesLeft - 1);
        else if (modal)
            modal->close();
    });
}

const QwtPlotSpectrogram *spectrogramOf(const CrossPlotMap &window)
{
    const QwtPlotItemList items = window.plotWidget()->itemList(QwtPlotItem::Rtti_PlotSpectrogram);
    return items.isEmpty() ? nullptr : static_cast<const QwtPlotSpectrogram *>(items.first());
}

const QwtLinearColorMap *spectrogramMap(const CrossPlotMap &window)
{
    return dynamic_cast<const QwtLinearColorMap *>(spectrogramOf(window)->colorMap());
}

const QwtLinearColorMap *colorBarMap(const CrossPlotMap &window)
{
    return dynamic_cast<const QwtLinearColorMap *>(
        window.plotWidget()->axisWidget(QwtPlot::yRight)->colorMap());
}

QList<QColor> stopColors(const QwtLinearColorMap *map)
{
    QList<QColor> colors;
    const QVector<double> stops = map->colorStops();
    for (double stop : stops)
        colors << QColor(map->rgb(QwtInterval(0.0, 1.0), stop));
    return colors;
}

int bluePixelsInRow(const QImage &image, int y, int left, int right)
{
    int count = 0;
    for (int x = left; x <= right; ++x)
        count += image.pixelColor(x, y) == QColor(Qt::blue) ? 1 : 0;
    return count;
}

class PaintCounter : public QObject
{
public:
    int paints = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

} // namespace

class tst_CrossPlotMap : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void infoLabels_data();
    void infoLabels();

    void backgroundItem_data();
    void backgroundItem();
    void indexOutsideTableKeepsBackground();

    void plotComposition();
    void scalesMatchCanvasWhenShown_data();
    void scalesMatchCanvasWhenShown();
    void pointSizeKeepsColorBarInterval();

    void colorStopsAfterConstruction();
    void colorControls_data();
    void colorControls();
    void resetRebuilds_data();
    void resetRebuilds();

    void trackerToggle_data();
    void trackerToggle();

    void exportSuffix_data();
    void exportSuffix();
    void exportedPlotHasNoTracker();
    void failedSaveIsSilent();

private:
    QString writeFile(const QString &name, const QByteArray &bytes);
    // Picks along a 2500 m/s line over 0..3000 m, latest at 2000 ms, every class correct.
    QString standardFile();
    std::unique_ptr<CrossPlotMap> openWindow(const QString &fileName);
    std::unique_ptr<CrossPlotMap> openShownWindow(const QString &fileName);

    QTemporaryDir dataDir;
};

void tst_CrossPlotMap::initTestCase()
{
    QVERIFY(dataDir.isValid());
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

void tst_CrossPlotMap::cleanup()
{
    KyProjectManager::instance().closeProject();
}

QString tst_CrossPlotMap::writeFile(const QString &name, const QByteArray &bytes)
{
    const QString path = dataDir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return QString();
    return path;
}

QString tst_CrossPlotMap::standardFile()
{
    QVector<Record> records;
    for (int offset = 100; offset < 3000; offset += 100)
        records << Record{offset, float(offset) / 2.5f + 0.5f, 0};
    records << Record{-1200, 300.7f, 1} << Record{2900, 2000.0f, -3};
    return writeFile(QStringLiteral("standard.fb"), fbBytes(records.size(), 0, 3000, records));
}

std::unique_ptr<CrossPlotMap> tst_CrossPlotMap::openWindow(const QString &fileName)
{
    CrossPlotParam param;
    param.fbName = fileName;
    return std::unique_ptr<CrossPlotMap>(new CrossPlotMap(param));
}

std::unique_ptr<CrossPlotMap> tst_CrossPlotMap::openShownWindow(const QString &fileName)
{
    std::unique_ptr<CrossPlotMap> window = openWindow(fileName);
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get()))
        return nullptr;
    return window;
}

void tst_CrossPlotMap::infoLabels_data()
{
    QTest::addColumn<int>("headerCount");
    QTest::addColumn<int>("correctRecords");
    QTest::addColumn<int>("errorRecords");
    QTest::addColumn<QString>("selection");
    QTest::addColumn<int>("minOffset");
    QTest::addColumn<int>("maxOffset");
    QTest::addColumn<QString>("typeText");
    QTest::addColumn<QString>("rangeText");
    QTest::addColumn<QString>("countText");

    QTest::newRow("correct picks, group separator")
        << 2000 << 1234 << 766 << "correct" << 0 << 0 << "Correct"
        << "0 - 3000"
        << "1,234 ( 61.70% )";
    QTest::newRow("error picks") << 2000 << 1234 << 766 << "error" << 0 << 0 << "Error"
                                 << "0 - 3000"
                                 << "766 ( 38.30% )";
    QTest::newRow("both classes, every record kept")
        << 2000 << 1234 << 766 << "all" << 0 << 0 << "Both"
        << "0 - 3000"
        << "2,000 ( 100.00% )";
    QTest::newRow("one of three, rounded down") << 3 << 1 << 2 << "correct" << 0 << 0 << "Correct"
                                                << "0 - 3000"
                                                << "1 ( 33.33% )";
    QTest::newRow("two of three, rounded up") << 3 << 2 << 1 << "correct" << 0 << 0 << "Correct"
                                              << "0 - 3000"
                                              << "2 ( 66.67% )";
    QTest::newRow("offset limits narrow the window")
        << 3 << 3 << 0 << "correct" << 500 << 2000 << "Correct"
        << "500 - 2000"
        << "3 ( 100.00% )";
    QTest::newRow("header without records") << 0 << 0 << 0 << "correct" << 0 << 0 << "Correct"
                                            << "0 - 3000"
                                            << "0 ( 0.00% )";
}

void tst_CrossPlotMap::infoLabels()
{
    QFETCH(int, headerCount);
    QFETCH(int, correctRecords);
    QFETCH(int, errorRecords);
    QFETCH(QString, selection);
    QFETCH(int, minOffset);
    QFETCH(int, maxOffset);
    QFETCH(QString, typeText);
    QFETCH(QString, rangeText);
    QFETCH(QString, countText);

    const QVector<Record> records = repeated(correctRecords, Record{1000, 100.0f, 0}) +
                                    repeated(errorRecords, Record{1000, 100.0f, 2});
    CrossPlotParam param;
    param.fbName = writeFile(QStringLiteral("labels.fb"), fbBytes(headerCount, 0, 3000, records));
    param.plotCorrectFB = selection == QLatin1String("correct");
    param.plotErrorFB = selection == QLatin1String("error");
    param.plotAllFB = selection == QLatin1String("all");
    param.minOffset = minOffset;
    param.maxOffset = maxOffset;
    const CrossPlotMap window(param);

    QCOMPARE(window.findChild<QLabel *>(QStringLiteral("forTypeLabel"))->text(), typeText);
    QCOMPARE(window.findChild<QLabel *>(QStringLiteral("forOffsetRangeLabel"))->text(), rangeText);
    QCOMPARE(window.findChild<QLabel *>(QStringLiteral("forFBNumLabel"))->text(), countText);
}

void tst_CrossPlotMap::backgroundItem_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QColor>("color");

    QTest::newRow("item 0, white") << 0 << QColor(255, 255, 255);
    QTest::newRow("item 1, light grey") << 1 << QColor(240, 240, 240);
    QTest::newRow("item 2, sky blue") << 2 << QColor(100, 200, 255);
    QTest::newRow("item 3, green") << 3 << QColor(50, 200, 100);
}

void tst_CrossPlotMap::backgroundItem()
{
    QFETCH(int, index);
    QFETCH(QColor, color);

    const std::unique_ptr<CrossPlotMap> window = openWindow(standardFile());
    QComboBox *combo = window->findChild<QComboBox *>(QStringLiteral("backgroundColor"));
    QCOMPARE(combo->count(), 4);
    // Leave the initial item first, so that item 0 is chosen by a real change as well.
    combo->setCurrentIndex(index == 0 ? 3 : 0);
    combo->setCurrentIndex(index);
    QCOMPARE(window->plotWidget()->canvasBackground().color(), color);

    const QImage swatch = combo->itemIcon(index).pixmap(16, 16).toImage();
    QCOMPARE(swatch.pixelColor(0, 0), QColor(255, 255, 255));
    QCOMPARE(swatch.pixelColor(1, 1), QColor(80, 80, 80));
    QCOMPARE(swatch.pixelColor(14, 14), QColor(80, 80, 80));
    QCOMPARE(swatch.pixelColor(2, 2), color);
    QCOMPARE(swatch.pixelColor(13, 13), color);
}

void tst_CrossPlotMap::indexOutsideTableKeepsBackground()
{
    const std::unique_ptr<CrossPlotMap> window = openWindow(standardFile());
    QComboBox *combo = window->findChild<QComboBox *>(QStringLiteral("backgroundColor"));
    combo->setCurrentIndex(2);
    combo->setCurrentIndex(-1);
    QCOMPARE(window->plotWidget()->canvasBackground().color(), QColor(100, 200, 255));
}

void tst_CrossPlotMap::plotComposition()
{
    const QString fileName = standardFile();
    const std::unique_ptr<CrossPlotMap> window = openWindow(fileName);
    const QwtPlot *plot = window->plotWidget();
    const auto span = [](const QwtInterval &interval) {
        return qMakePair(interval.minValue(), interval.maxValue());
    };
    // Offsets 0..3000 m; the latest pick at 2000 ms plus the margin; 31 picks of one each
    // put the top of the density scale at 20.
    QCOMPARE(span(plot->axisScaleDiv(QwtPlot::xBottom).interval()), qMakePair(0.0, 3000.0));
    QCOMPARE(span(plot->axisScaleDiv(QwtPlot::xTop).interval()), qMakePair(0.0, 3000.0));
    QCOMPARE(span(plot->axisScaleDiv(QwtPlot::yLeft).interval()), qMakePair(0.0, 2100.0));
    QCOMPARE(span(plot->axisWidget(QwtPlot::yRight)->colorBarInterval()), qMakePair(0.0, 20.0));
    QCOMPARE(plot->axisWidget(QwtPlot::yRight)->title().text(), QStringLiteral("FB Density"));
    QCOMPARE(plot->footer().text(), QStringLiteral("FB file: ") + fileName);
}

void tst_CrossPlotMap::scalesMatchCanvasWhenShown_data()
{
    QTest::addColumn<int>("axis");

    QTest::newRow("bottom offset axis") << int(QwtPlot::xBottom);
    QTest::newRow("top offset axis") << int(QwtPlot::xTop);
    QTest::newRow("time axis") << int(QwtPlot::yLeft);
}

void tst_CrossPlotMap::scalesMatchCanvasWhenShown()
{
    QFETCH(int, axis);

    // The layout at showing takes each scale's label margins from its previous layout; margins
    // that differ from the scale's own hint make the canvas map, which places data, grid and
    // pickers, disagree with the tick labels the scale draws.
    const std::unique_ptr<CrossPlotMap> window = openWindow(standardFile());
    const QwtScaleWidget *scale = window->plotWidget()->axisWidget(axis);
    int startHint = 0;
    int endHint = 0;
    scale->getBorderDistHint(startHint, endHint);
    QCOMPARE(scale->startBorderDist(), startHint);
    QCOMPARE(scale->endBorderDist(), endHint);

    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    const QwtPlot *plot = window->plotWidget();
    const bool horizontal = axis == QwtPlot::xBottom || axis == QwtPlot::xTop;
    const double shift =
        horizontal ? scale->x() - plot->canvas()->x() : scale->y() - plot->canvas()->y();
    const QwtScaleMap drawn = scale->scaleDraw()->scaleMap();
    QCOMPARE(plot->canvasMap(axis).p1(), drawn.p1() + shift);
    QCOMPARE(plot->canvasMap(axis).p2(), drawn.p2() + shift);
}

void tst_CrossPlotMap::pointSizeKeepsColorBarInterval()
{
    const std::unique_ptr<CrossPlotMap> window = openWindow(standardFile());
    const QwtScaleWidget *colorBar = window->plotWidget()->axisWidget(QwtPlot::yRight);
    QCOMPARE(window->densityMatrixColumns(), 750);

    window->findChild<QSpinBox *>(QStringLiteral("pointSize"))->setValue(8);
    QCOMPARE(window->densityMatrixColumns(), 375);
    QCOMPARE(window->densityMatrixRows(), 262);
    QCOMPARE(spectrogramOf(*window)->data(), window->currentRasterData());
    QCOMPARE(colorBar->colorBarInterval().minValue(), 0.0);
    QCOMPARE(colorBar->colorBarInterval().maxValue(), 20.0);
    QCOMPARE(window->currentRasterData()->interval(Qt::ZAxis).maxValue(), 20.0);
}

void tst_CrossPlotMap::colorStopsAfterConstruction()
{
    const std::unique_ptr<CrossPlotMap> window = openWindow(standardFile());
    QCOMPARE(window->findChild<QSpinBox *>(QStringLiteral("cyanSpin"))->value(), 15);
    QCOMPARE(window->findChild<QSpinBox *>(QStringLiteral("greenSpin"))->value(), 25);
    QCOMPARE(window->findChild<QSpinBox *>(QStringLiteral("yellowSpin"))->value(), 55);

    const QwtLinearColorMap *spectrogram = spectrogramMap(*window);
    const QwtLinearColorMap *colorBar = colorBarMap(*window);
    QVERIFY(spectrogram && colorBar);
    QVERIFY(static_cast<const void *>(spectrogram) != static_cast<const void *>(colorBar));
    // The spin slots divide in single precision: 15 % is the float nearest to 0.15.
    const QVector<double> stops{0.0, 0.15000000596046448, 0.25, 0.550000011920929, 1.0};
    const QList<QColor> colors{Qt::blue, Qt::cyan, Qt::green, Qt::yellow, Qt::red};
    QCOMPARE(spectrogram->colorStops(), stops);
    QCOMPARE(colorBar->colorStops(), stops);
    QCOMPARE(stopColors(spectrogram), colors);
    QCOMPARE(stopColors(colorBar), colors);
}

void tst_CrossPlotMap::colorControls_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("value");
    QTest::addColumn<QVector<double>>("stops");
    QTest::addColumn<QList<QColor>>("colors");

    QTest::newRow("cyan spin to 40")
        << "cyanSpin" << 40
        << QVector<double>{0.0, 0.25, 0.4000000059604645, 0.550000011920929, 1.0}
        << QList<QColor>{Qt::blue, Qt::green, Qt::cyan, Qt::yellow, Qt::red};
    QTest::newRow("green slider to 30")
        << "greenSlider" << 30
        << QVector<double>{0.0, 0.15000000596046448, 0.30000001192092896, 0.550000011920929, 1.0}
        << QList<QColor>{Qt::blue, Qt::cyan, Qt::green, Qt::yellow, Qt::red};
    QTest::newRow("yellow slider to 70")
        << "yellowSlider" << 70
        << QVector<double>{0.0, 0.15000000596046448, 0.25, 0.699999988079071, 1.0}
        << QList<QColor>{Qt::blue, Qt::cyan, Qt::green, Qt::yellow, Qt::red};
    QTest::newRow("yellow crosses below cyan")
        << "yellowSpin" << 10
        << QVector<double>{0.0, 0.10000000149011612, 0.15000000596046448, 0.25, 1.0}
        << QList<QColor>{Qt::blue, Qt::yellow, Qt::cyan, Qt::green, Qt::red};
    // The map keeps both stops at 0; the low end itself stays blue.
    QTest::newRow("cyan at 0 shares the low end with blue")
        << "cyanSpin" << 0 << QVector<double>{0.0, 0.0, 0.25, 0.550000011920929, 1.0}
        << QList<QColor>{Qt::blue, Qt::blue, Qt::green, Qt::yellow, Qt::red};
}

void tst_CrossPlotMap::colorControls()
{
    QFETCH(QString, control);
    QFETCH(int, value);
    QFETCH(QVector<double>, stops);
    QFETCH(QList<QColor>, colors);

    const std::unique_ptr<CrossPlotMap> window = openWindow(standardFile());
    if (QSpinBox *spin = window->findChild<QSpinBox *>(control))
        spin->setValue(value);
    else
        window->findChild<QSlider *>(control)->setValue(value);

    QCOMPARE(spectrogramMap(*window)->colorStops(), stops);
    QCOMPARE(colorBarMap(*window)->colorStops(), stops);
    QCOMPARE(stopColors(spectrogramMap(*window)), colors);
    QCOMPARE(stopColors(colorBarMap(*window)), colors);
}

void tst_CrossPlotMap::resetRebuilds_data()
{
    QTest::addColumn<QStringList>("moved");
    QTest::addColumn<int>("replots");
    QTest::addColumn<QVector<double>>("stops");

    // Reset restores exact defaults; a stop whose slider moves back takes the single-precision
    // value again, the others keep the exact double.
    QTest::newRow("all at default")
        << QStringList() << 0
        << QVector<double>{0.0, 0.15000000596046448, 0.25, 0.550000011920929, 1.0};
    QTest::newRow("only cyan moved") << QStringList{"cyanSpin"} << 1
                                     << QVector<double>{0.0, 0.15000000596046448, 0.25, 0.55, 1.0};
    QTest::newRow("cyan and yellow moved")
        << QStringList{"cyanSpin", "yellowSpin"} << 2
        << QVector<double>{0.0, 0.15000000596046448, 0.25, 0.550000011920929, 1.0};
    QTest::newRow("all three moved")
        << QStringList{"cyanSpin", "greenSpin", "yellowSpin"} << 3
        << QVector<double>{0.0, 0.15000000596046448, 0.25, 0.550000011920929, 1.0};
}

void tst_CrossPlotMap::resetRebuilds()
{
    QFETCH(QStringList, moved);
    QFETCH(int, replots);
    QFETCH(QVector<double>, stops);

    const std::unique_ptr<CrossPlotMap> window = openShownWindow(standardFile());
    QVERIFY(window);
    for (const QString &name : moved)
        window->findChild<QSpinBox *>(name)->setValue(90);

    // Each replot now paints the canvas at once, so canvas paints count replots.
    auto *canvas = qobject_cast<QwtPlotCanvas *>(window->plotWidget()->canvas());
    canvas->setPaintAttribute(QwtPlotCanvas::ImmediatePaint, true);
    QCoreApplication::processEvents();
    PaintCounter counter;
    canvas->installEventFilter(&counter);
    window->findChild<QAbstractButton *>(QStringLiteral("resetColorSetting"))->click();
    canvas->removeEventFilter(&counter);

    QCOMPARE(counter.paints, replots);
    QCOMPARE(spectrogramMap(*window)->colorStops(), stops);
    QCOMPARE(window->findChild<QSpinBox *>(QStringLiteral("cyanSpin"))->value(), 15);
    QCOMPARE(window->findChild<QSpinBox *>(QStringLiteral("greenSpin"))->value(), 25);
    QCOMPARE(window->findChild<QSpinBox *>(QStringLiteral("yellowSpin"))->value(), 55);
}

void tst_CrossPlotMap::trackerToggle_data()
{
    QTest::addColumn<QList<int>>("presses"); // buttons held in each press
    QTest::addColumn<bool>("hidden");

    QTest::newRow("left press hides") << QList<int>{Qt::LeftButton} << true;
    QTest::newRow("second left press shows") << QList<int>{Qt::LeftButton, Qt::LeftButton} << false;
    QTest::newRow("right press") << QList<int>{Qt::RightButton} << false;
    QTest::newRow("middle press") << QList<int>{Qt::MiddleButton} << false;
    QTest::newRow("left with right held") << QList<int>{Qt::LeftButton | Qt::RightButton} << false;
    QTest::newRow("left, then right") << QList<int>{Qt::LeftButton, Qt::RightButton} << true;
}

void tst_CrossPlotMap::trackerToggle()
{
    QFETCH(QList<int>, presses);
    QFETCH(bool, hidden);

    const std::unique_ptr<CrossPlotMap> window = openWindow(standardFile());
    QWidget *canvas = window->plotWidget()->canvas();
    const QPoint pos(40, 30);
    for (int held : presses) {
        const Qt::MouseButtons buttons(held);
        const Qt::MouseButton button =
            buttons & Qt::LeftButton ? Qt::LeftButton : Qt::MouseButton(held);
        QMouseEvent press(QEvent::MouseButtonPress, pos, canvas->mapToGlobal(pos), button, buttons,
                          Qt::NoModifier);
        QApplication::sendEvent(canvas, &press);
        QMouseEvent release(QEvent::MouseButtonRelease, pos, canvas->mapToGlobal(pos), button,
                            Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(canvas, &release);
    }

    QCOMPARE(window->pointTracker()->hideText, hidden);
    // The picker reached through its public base, as the library asks it for the text.
    const QwtPicker *tracker = window->pointTracker();
    QCOMPARE(tracker->trackerText(pos).isEmpty(), hidden);
}

void tst_CrossPlotMap::exportSuffix_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("written");

    QTest::newRow("plot, name without suffix") << "Save plot to image file"
                                               << "Save plot to image"
                                               << "result"
                                               << "result.png";
    QTest::newRow("plot, upper-case png suffix kept") << "Save plot to image file"
                                                      << "Save plot to image"
                                                      << "Result.Png"
                                                      << "Result.Png";
    QTest::newRow("plot, other suffix gets png appended") << "Save plot to image file"
                                                          << "Save plot to image"
                                                          << "map.bmp"
                                                          << "map.bmp.png";
    QTest::newRow("window, name without suffix") << "Save window to image file"
                                                 << "Save window to mage"
                                                 << "result"
                                                 << "result.png";
    QTest::newRow("window, jpg suffix gets png appended") << "Save window to image file"
                                                          << "Save window to mage"
                                                          << "plot.jpg"
                                                          << "plot.jpg.png";
}

void tst_CrossPlotMap::exportSuffix()
{
    QFETCH(QString, action);
    QFETCH(QString, caption);
    QFETCH(QString, typed);
    QFETCH(QString, written);

    QTemporaryDir project;
    QVERIFY(KyProjectManager::instance().openProject(project.path()));
    const std::unique_ptr<CrossPlotMap> window = openShownWindow(standardFile());
    QVERIFY(window);

    QString dialogCaption;
    QString dialogDirectory;
    QStringList dialogFilters;
    whenFileDialogShown([&](QFileDialog *dialog) {
        dialogCaption = dialog->windowTitle();
        dialogDirectory = dialog->directory().absolutePath();
        dialogFilters = dialog->nameFilters();
        // selectFile leaves the name field alone while it has the focus.
        if (QWidget *focus = dialog->focusWidget())
            focus->clearFocus();
        dialog->selectFile(typed);
        static_cast<QDialog *>(dialog)->accept();
    });
    const QList<QAction *> actions = window->findChildren<QAction *>();
    for (QAction *candidate : actions) {
        if (candidate->text() == action)
            candidate->trigger();
    }

    QCOMPARE(dialogCaption, caption);
    QCOMPARE(dialogDirectory, QDir(project.path()).absolutePath());
    QCOMPARE(dialogFilters, QStringList{"Images (*.png)"});
    QCOMPARE(QDir(project.path()).entryList(QDir::Files), QStringList{written});
    QImageReader image(QDir(project.path()).filePath(written));
    QCOMPARE(image.format(), QByteArray("png"));
    const QWidget *grabbed = action.startsWith(QLatin1String("Save plot"))
                                 ? static_cast<QWidget *>(window->plotWidget())
                                 : window.get();
    QCOMPARE(image.size(), grabbed->size());
}

void tst_CrossPlotMap::exportedPlotHasNoTracker()
{
    const std::unique_ptr<CrossPlotMap> window = openShownWindow(standardFile());
    QVERIFY(window);
    QWidget *canvas = window->plotWidget()->canvas();
    // Near the top of the canvas: the empty 100 ms above the latest pick, no grid line.
    const QPoint cursor(canvas->width() / 2, 4);
    // The tracker starts when the pointer enters the canvas, as it does on screen.
    QEvent enter(QEvent::Enter);
    QApplication::sendEvent(canvas, &enter);
    QMouseEvent move(QEvent::MouseMove, cursor, canvas->mapToGlobal(cursor), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(canvas, &move);
    QVERIFY(window->pointTracker()->isActive());

    const QRect canvasRect = canvas->geometry();
    const int row = canvasRect.top() + cursor.y();
    // The crosshair is there to be captured when the tracker is left on.
    const QImage withTracker = window->plotWidget()->grab().toImage();
    QVERIFY(bluePixelsInRow(withTracker, row, canvasRect.left(), canvasRect.right()) >
            canvasRect.width() / 2);

    const QString fileName = dataDir.filePath(QStringLiteral("tracker.png"));
    QVERIFY(window->savePlotImage(fileName));
    QVERIFY(window->pointTracker()->isEnabled());
    const QImage saved(fileName);
    QCOMPARE(saved.size(), window->plotWidget()->size());
    QCOMPARE(bluePixelsInRow(saved, row, canvasRect.left(), canvasRect.right()), 0);

    // Not blank: the density cells are drawn on the canvas.
    int colouredCells = 0;
    for (int y = canvasRect.top(); y <= canvasRect.bottom(); ++y) {
        for (int x = canvasRect.left(); x <= canvasRect.right(); ++x)
            colouredCells += saved.pixelColor(x, y).saturation() > 100 ? 1 : 0;
    }
    QVERIFY(colouredCells > 0);
}

void tst_CrossPlotMap::failedSaveIsSilent()
{
    const std::unique_ptr<CrossPlotMap> window = openShownWindow(standardFile());
    QVERIFY(window);
    QVERIFY(!window->savePlotImage(dataDir.filePath(QStringLiteral("missing/dir/plot.png"))));
    QVERIFY(window->pointTracker()->isEnabled());
    QVERIFY(!QApplication::activeModalWidget());
}

QTEST_MAIN(tst_CrossPlotMap)
#include "tst_CrossPlotMap.moc"
