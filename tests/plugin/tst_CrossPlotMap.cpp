#include "CrossPlot.h"
#include "CrossPlotMap.h"
#include "KyBaseUtil.h"
#include "KyProjectManager.h"
#include "MemoryAdmission.h"
#include "PointPicker.h"
#include "TestSupport.h"
#include "velPicker.h"

#include <qwt_color_map.h>
#include <qwt_plot.h>
#include <qwt_plot_grid.h>
#include <qwt_plot_layout.h>
#include <qwt_plot_picker.h>
#include <qwt_plot_spectrogram.h>
#include <qwt_scale_draw.h>
#include <qwt_scale_widget.h>

namespace {

using Seen = QMap<QString, QString>;

QString describe(const QwtText &text)
{
    const QFont font = text.font();
    return say(text.text(), say(font.pixelSize()) + "px", font.bold() ? "bold" : "normal",
               text.color().name());
}

// The stop positions of a colour map, each with the colour at it.
QString stops(const QwtColorMap *map)
{
    QStringList seen;
    const auto *linear = dynamic_cast<const QwtLinearColorMap *>(map);
    for (double stop : linear ? linear->colorStops() : QVector<double>())
        seen << QString::number(stop, 'g', 9) << QColor(linear->rgb({0, 1}, stop)).name();
    return seen.join(' ');
}

// Counts replots: every replot hands the scales to the plot's grids.
struct ReplotCounter : QwtPlotGrid
{
    int replots = 0;
    void updateScaleDiv(const QwtScaleDiv &, const QwtScaleDiv &) override { ++replots; }
};

// Describes the progress dialog that a loading window shows.
struct ProgressWatcher : QObject
{
    Seen &seen;
    explicit ProgressWatcher(Seen &seen) : seen(seen) { qApp->installEventFilter(this); }
    bool eventFilter(QObject *object, QEvent *event) override
    {
        auto *progress = qobject_cast<QProgressDialog *>(object);
        if (progress && event->type() == QEvent::Show)
            seen["progress"] = say(
                progress->windowTitle(), "|", progress->labelText(), "|", progress->minimum(),
                progress->maximum(), key(progress->windowModality()),
                progress->parentWidget()->metaObject()->className(), progress->minimumDuration(),
                size(progress->minimumSize()), progress->findChildren<QAbstractButton *>().size());
        return false;
    }
};

// Opens a crossplot of picks.fb as the user does: the plug-in's action, then OK in its dialog.
CrossPlotMap *openWindow(const QString &type, Seen &seen)
{
    for (const QString flag : {"Correct", "Error", "All"})
        KyBaseUtil::setProjectValue("CrossPlot_CrossPlotDialog_plot" + flag + "FB", flag == type);
    KyBaseUtil::setProjectValue("CrossPlot_CrossPlotDialog_fbName", "picks.fb");
    QWidget *dialog = openDialog(CrossPlot());
    const ProgressWatcher watcher(seen);
    QWidget *window = newTopLevel("CrossPlotMap", [dialog] {
        QTest::mouseClick(dialog->findChild<QWidget *>("okButton"), Qt::LeftButton);
    });
    dialog->close();
    return static_cast<CrossPlotMap *>(window);
}

} // namespace

class tst_CrossPlotMap : public QObject
{
    Q_OBJECT

    QTemporaryDir dataDir; // also the project directory, which images are exported into

    // Opens a window as the user does and goes over all it shows, acting where a user acts.
    Seen lookAtWindow()
    {
        Seen seen;
        {
            // Laid out from label margins that do not fit, the canvas map, which places the
            // data, the grid and the pickers, would disagree with the labels that the scale draws.
            const CrossPlotMap hidden(CrossPlotParam{"picks.fb"});
            const QwtPlot *plot = hidden.plotWidget();
            const QwtScaleWidget *scale = plot->axisWidget(QwtPlot::xBottom);
            const QwtScaleMap drawn = scale->scaleDraw()->scaleMap();
            const QwtScaleMap used = plot->canvasMap(QwtPlot::xBottom);
            const double shift = scale->x() - plot->canvas()->x();
            seen["scale and canvas before showing"] =
                say(used.p1() - drawn.p1() - shift, used.p2() - drawn.p2() - shift);
        }
        CrossPlotMap *window = openWindow("Correct", seen);
        if (!window || !QTest::qWaitForWindowExposed(window))
            return seen;
        seen["window"] =
            say(window->windowTitle(), size(window->size()), size(window->minimumSize()),
                window->font().family(), window->font().pointSize(),
                window->testAttribute(Qt::WA_DeleteOnClose) ? "deleted on close" : "");
        for (QWidget *w : window->findChildren<QWidget *>()) {
            const QString widths = say(w->minimumWidth(), w->maximumWidth());
            QString &said = seen[w->objectName()];
            const QString colour = w->palette().color(w->foregroundRole()).name();
            if (auto *label = qobject_cast<QLabel *>(w); label && colour == "#000000")
                seen["black captions"] += label->text() + "|"; // and the rest in their colour
            else if (label)
                said = say(label->text(), colour);
            else if (!qobject_cast<QFrame *>(w)) // buttons, spin boxes, sliders
                said = say(w->property("text"), w->property("minimum"), w->property("maximum"),
                           w->property("singleStep"), w->property("pageStep"), w->property("value"),
                           w->property("tickPosition"), w->property("tickInterval"), widths);
            else
                said = say(w->minimumHeight(), w->maximumHeight());
        }

        QwtPlot *plot = window->plotWidget();
        QWidget *canvas = plot->canvas();
        auto *combo = window->findChild<QComboBox *>("backgroundColor");
        seen["backgroundColor"] =
            say(combo->currentIndex(), combo->minimumWidth(), combo->maximumWidth());
        for (int item = 0; item < combo->count(); ++item) {
            seen["backgroundColor"] += " '" + combo->itemText(item) + "'";
            const QImage icon = combo->itemIcon(item).pixmap(16).toImage();
            seen["swatches"] += say(icon.pixelColor(8, 8).name(), icon.pixelColor(1, 1).name(),
                                    icon.pixelColor(0, 0).name(), "| ");
        }
        window->findChild<QWidget *>("pointSize")->setFocus();
        for (int tab = 0; tab < 8; ++tab) {
            QTest::keyClick(window->focusWidget(), Qt::Key_Tab);
            seen["Tab from pointSize"] += window->focusWidget()->objectName() + " ";
        }
        // Above the picks and between two grid lines only the background shows.
        const QPoint background(canvas->width() * 7 / 12, 5);
        for (int item : {-1, 1, 2, 3, 0}) {
            // The popup ignores a click that comes sooner than a double click after it opened.
            if (item >= 0) {
                combo->showPopup();
                for (int at = combo->currentIndex(); at != item; at += item > at ? 1 : -1)
                    QTest::keyClick(combo->view(), item > at ? Qt::Key_Down : Qt::Key_Up);
                QTest::keyClick(combo->view(), Qt::Key_Return);
            }
            seen["canvas at first, then items 1 2 3 0"] +=
                canvas->grab().toImage().pixelColor(background).name() + " ";
        }

        const auto *spectrogram = static_cast<QwtPlotSpectrogram *>(
            plot->itemList(QwtPlotItem::Rtti_PlotSpectrogram).value(0));
        const QwtScaleWidget *colorBar = plot->axisWidget(QwtPlot::yRight);
        ReplotCounter counter;
        counter.attach(plot);
        const auto colours = [&](const QString &after) {
            QStringList controls;
            for (const char *name : {"cyanSlider", "cyanSpin", "greenSlider", "greenSpin",
                                     "yellowSlider", "yellowSpin"})
                controls << window->findChild<QWidget *>(name)->property("value").toString();
            const QString shown = stops(spectrogram->colorMap()), bar = stops(colorBar->colorMap());
            seen[after] = say(controls.join(' '), "|", shown, bar == shown ? "" : "| bar " + bar,
                              "|", std::exchange(counter.replots, 0));
        };
        colours("at first");
        for (int page = 0; page < 3; ++page)
            QTest::keyClick(window->findChild<QWidget *>("cyanSlider"), Qt::Key_PageUp);
        colours("after cyan PageUp x3");
        window->findChild<QSpinBox *>("yellowSpin")->selectAll();
        QTest::keyClicks(window->findChild<QWidget *>("yellowSpin"), "70");
        colours("after typing 70 in yellow");
        for (const QString after : {"after Reset", "after Reset again"}) {
            QTest::mouseClick(window->findChild<QWidget *>("resetColorSetting"), Qt::LeftButton);
            colours(after);
        }

        // The saved plot must look like the plot without the tracker, though the mouse is on it.
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(canvas, &leave);
        const QImage plotAlone = plot->grab().toImage();
        QwtPicker *tracker = canvas->findChild<PointPicker *>();
        for (const auto &save :
             QList<QPair<int, QString>>{{0, "result"}, {1, "Window.Png"}, {0, "map.bmp"}}) {
            QString &said = seen[say("entry", save.first, "given", save.second)];
            const auto showMenu = [window] {
                QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5));
                QApplication::sendEvent(window, &event);
            };
            whileModal(showMenu, [&](QWidget *modal) {
                if (auto *menu = qobject_cast<QMenu *>(modal)) {
                    seen["menu"].clear();
                    for (QAction *action : menu->actions())
                        seen["menu"] += action->text() + " | ";
                    if (QAction *entry = menu->actions().value(save.first))
                        QTest::mouseClick(menu, Qt::LeftButton, {},
                                          menu->actionGeometry(entry).center());
                    return;
                }
                // The modal dialog keeps the real mouse away: this one enters and moves.
                QEnterEvent enter(canvas->rect().center(), {}, {});
                QApplication::sendEvent(canvas, &enter);
                QMouseEvent move(QEvent::MouseMove, canvas->rect().center(), Qt::NoButton, {}, {});
                QApplication::sendEvent(canvas, &move);
                seen["tracker while saving, then after"] =
                    tracker->isActive() ? "active" : "inactive";
                said = answerFiles(modal, save.second, dataDir.path());
            });
            const QStringList written = QDir(dataDir.path()).entryList({save.second + "*"});
            const QImage image(dataDir.filePath(written.value(0)));
            said +=
                say(" |", written.join(' '),
                    image.convertToFormat(plotAlone.format()) == plotAlone ? "the plot alone"
                                                                           : size(image.size()));
        }
        seen["tracker while saving, then after"] += tracker->isEnabled() ? " enabled" : " disabled";
        const QStringList axes{"yLeft", "yRight", "xBottom", "xTop"};
        for (int axis = 0; axis < axes.size(); ++axis) {
            const QwtScaleDiv &div = plot->axisScaleDiv(axis);
            seen[axes[axis]] =
                say(describe(plot->axisTitle(axis)), "|", div.lowerBound(), div.upperBound(),
                    plot->axisScaleDraw(axis)->label(1500).text(),
                    plot->axisScaleDraw(axis)->label(1999999.6).text(), plot->axisEnabled(axis),
                    plot->axisWidget(axis)->spacing(),
                    plot->plotLayout()->alignCanvasToScale(axis) ? "aligned" : "free");
        }
        const QMargins margins = plot->contentsMargins();
        seen["plot"] = say(describe(plot->title()), "|", plot->footer().text(), "|", margins.left(),
                           margins.top(), margins.right(), margins.bottom());
        const auto *grid =
            static_cast<QwtPlotGrid *>(plot->itemList(QwtPlotItem::Rtti_PlotGrid).value(0));
        const QPen gridPen = grid->majorPen();
        seen["grid"] = say(gridPen.color().name(), gridPen.widthF(), key(gridPen.style()),
                           grid->xMinEnabled() || grid->yMinEnabled() ? "minor on" : "minor off");
        const auto colourBar = [colorBar] {
            return say(colorBar->isColorBarEnabled(), colorBar->colorBarInterval().minValue(),
                       colorBar->colorBarInterval().maxValue(), colorBar->title().text());
        };
        const QImage before = canvas->grab().toImage();
        seen["colour bar, then after point size 8"] = colourBar();
        for (int step = 0; step < 4; ++step)
            QTest::keyClick(window->findChild<QWidget *>("pointSize"), Qt::Key_Up);
        seen["colour bar, then after point size 8"] +=
            say(" |", canvas->grab().toImage() == before ? "same" : "redrawn", colourBar());

        // The picks end at 3000 m and 2100 ms: the ends of the scales are whole numbers.
        const QwtScaleMap x = plot->canvasMap(QwtPlot::xBottom);
        const QwtScaleMap y = plot->canvasMap(QwtPlot::yLeft);
        const QPoint lowerLeft(x.p1(), y.p1()), upperRight(x.p2(), y.p2());
        const QPoint lowerRight(x.p2(), y.p1()), upperLeft(x.p1(), y.p2());
        QwtPicker *velocity = canvas->findChild<velPicker *>();
        const auto textAt = [](QwtPicker *picker, const QPoint &at) {
            const QwtText text = picker->trackerText(at);
            return text.isEmpty() ? "no text"
                                  : say(text.text(), "in", text.color().name(), "on",
                                        text.backgroundBrush().color().name(QColor::HexArgb));
        };
        // Near the lower left, 4.24 m, 5.29 ms and 16.95 m, 31.74 ms: the tracker rounds.
        for (const QPoint &at :
             {lowerLeft, upperRight, lowerLeft + QPoint(1, -1), lowerLeft + QPoint(4, -6)}) {
            QTest::mouseMove(canvas, at);
            seen["tracker at the corners, then near the lower left"] +=
                (tracker->isActive() ? "" : "inactive: ") + tracker->trackerText(at).text() + " ";
        }
        seen["tracker"] = say(tracker->trackerMode(), tracker->rubberBand(),
                              tracker->rubberBandPen().color().name());
        const QPen pen = velocity->rubberBandPen();
        seen["velocity"] =
            say(velocity->trackerMode(), velocity->rubberBand(), pen.color().name(), pen.widthF(),
                key(pen.style()), key(pen.capStyle()), key(pen.joinStyle()));
        // A line starts with a click and ends with the next one; these run backwards.
        QString &lines = seen["velocity while held, to the corners from the upper right, after"];
        QTest::mousePress(canvas, Qt::LeftButton, {}, upperRight);
        QTest::mouseMove(canvas, lowerLeft);
        lines = textAt(velocity, lowerLeft) + " | ";
        QTest::mouseRelease(canvas, Qt::LeftButton, {}, lowerLeft);
        QTest::mouseClick(canvas, Qt::LeftButton, {}, lowerLeft);
        for (const QPoint &end : {upperRight, lowerLeft, upperLeft, lowerRight}) {
            QTest::mouseClick(canvas, Qt::LeftButton, {}, upperRight);
            QTest::mouseMove(canvas, end);
            lines += textAt(velocity, end) + " | ";
            QTest::mouseClick(canvas, Qt::LeftButton, {}, end);
        }
        lines += velocity->isActive() ? "active" : "inactive";

        // Only presses of the left button alone toggle the text; the lowest held one is pressed.
        for (const Qt::MouseButtons held :
             {Qt::MouseButtons(Qt::LeftButton), Qt::MouseButtons(Qt::RightButton),
              Qt::LeftButton | Qt::RightButton, Qt::MouseButtons(Qt::LeftButton)}) {
            const auto button = Qt::MouseButton(int(held) & -int(held));
            QMouseEvent down(QEvent::MouseButtonPress, lowerLeft, button, held, Qt::NoModifier);
            QApplication::sendEvent(canvas, &down);
            QMouseEvent up(QEvent::MouseButtonRelease, lowerLeft, button, held & ~button, {});
            QApplication::sendEvent(canvas, &up);
            seen["tracker after left, right, both, left"] += textAt(tracker, lowerLeft) + " | ";
        }
        window->close();
        for (const QString type : {"Error", "All"}) { // the labels of other windows on the file
            QWidget *other = openWindow(type, seen);
            seen["Error, then All window labels"] +=
                say(other->findChild<QLabel *>("forTypeLabel")->text(), "|",
                    other->findChild<QLabel *>("forFBNumLabel")->text(), "| ");
            other->close();
        }
        // Each window of the picks holds about 3.16 MB (its 750 x 525 matrix of doubles most
        // of it): with 7 MiB beside what the closed, not yet deleted windows hold, two fit, and the
        // third is refused its matrix with the notice.
        qputenv("CROSSPLOT_MEMORY_AVAILABLE",
                QByteArray::number(MemoryAdmission::held() + 7340032));
        QList<CrossPlotMap *> windows;
        for (int k = 0; k < 3; ++k) {
            windows << openWindow("All", seen);
            seen["three windows in memory for two"] +=
                say(windows.last()->canvasNotice().section(". ", 0, 0), "| ");
        }
        qunsetenv("CROSSPLOT_MEMORY_AVAILABLE");
        for (CrossPlotMap *window : windows)
            window->close();
        return seen;
    }

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QVERIFY(QDir::setCurrent(dataDir.path()));
        QVERIFY(KyProjectManager::instance().openProject(dataDir.path()));
        // 30 correct picks along a 2500 m/s line and one at 2900 m and 2000 ms, 1000 errors.
        QVector<FBPick> picks;
        for (int offset = 100; offset < 3000; offset += 100)
            picks.append({offset, float(offset) / 2.5f + 0.5f, 0});
        picks.append({2900, 2000.0f, 0});
        picks.insert(picks.size(), 1000, {1000, 100.0f, 2});
        QVERIFY(writeFile("picks.fb", fbBytes(0, 3000, picks)));
    }

    void face_data()
    {
        QTest::addColumn<QString>("expected");
        const auto row = [](const char *name, const char *seen) { QTest::newRow(name) << seen; };
        // Title, label, range, modality, parent, shown after ms, least size, buttons.
        row("scale and canvas before showing", "0 0"); // the canvas map's ends off the scale's
        row("progress", "Read FB data | Read FB data...... | 0 100 WindowModal CrossPlotMap 1000 "
                        "300x80 0");
        row("window", "Offset-FB CrossPlot 922x700 922x700 Segoe UI 10 deleted on close");
        row("frame", "76 76");
        row("black captions", "Color setting: |Cyan|Green|Yellow|Point size:|B.G. color:|FB "
                              "type:|Offset:|Number of FBs:|");
        // Labels with their colour; ranges, steps, value, ticks (1: above) and interval, widths.
        row("cyanSlider", "0 100 1 10 15 1 10 101 101");
        row("cyanSpin", "15 0 100 1 15 51 51"); // its text first
        row("greenSlider", "0 100 1 10 25 1 10 101 101");
        row("greenSpin", "25 0 100 1 25 51 51");
        row("yellowSlider", "0 100 1 10 55 1 10 101 101");
        row("yellowSpin", "55 0 100 1 55 51 51");
        row("resetColorSetting", "Reset 0 61");
        row("pointSize", "4 1 20 1 4 51 51");
        row("backgroundColor", "0 45 45 '' '' '' ''"); // current item, widths, item texts
        row("Tab from pointSize", "backgroundColor cyanSlider cyanSpin greenSlider greenSpin "
                                  "yellowSlider yellowSpin resetColorSetting ");
        row("forTypeLabel", "Correct #aa0000");
        row("forOffsetRangeLabel", "0 - 3000 #aa0000");
        row("forFBNumLabel", "30 ( 2.91% ) #aa0000"); // the share rounded down
        row("Error, then All window labels",
            "Error | 1,000 ( 97.09% ) | Both | 1,030 ( 100.00% ) | ");
        // Each swatch: its colour inside a grey border on white.
        row("swatches", "#ffffff #505050 #ffffff | #f0f0f0 #505050 #ffffff | #64c8ff #505050 "
                        "#ffffff | #32c864 #505050 #ffffff | ");
        row("canvas at first, then items 1 2 3 0", "#ffffff #f0f0f0 #64c8ff #32c864 #ffffff ");
        // Controls | stops with their colours, on the plot and the bar alike | replots. The spin
        // slots divide in single precision; Reset moves only the sliders it must.
        row("at first", "15 15 25 25 55 55 | 0 #0000ff 0.150000006 #00ffff 0.25 #00ff00 "
                        "0.550000012 #ffff00 1 #ff0000 | 0");
        row("after cyan PageUp x3", "45 45 25 25 55 55 | 0 #0000ff 0.25 #00ff00 0.449999988 "
                                    "#00ffff 0.550000012 #ffff00 1 #ff0000 | 3");
        row("after typing 70 in yellow", "45 45 25 25 70 70 | 0 #0000ff 0.25 #00ff00 "
                                         "0.449999988 #00ffff 0.699999988 #ffff00 1 #ff0000 | 2");
        row("after Reset", "15 15 25 25 55 55 | 0 #0000ff 0.150000006 #00ffff 0.25 #00ff00 "
                           "0.550000012 #ffff00 1 #ff0000 | 2");
        row("after Reset again", "15 15 25 25 55 55 | 0 #0000ff 0.150000006 #00ffff 0.25 "
                                 "#00ff00 0.550000012 #ffff00 1 #ff0000 | 0");
        row("menu", "Save plot to image file | Save window to image file | ");
        row("entry 0 given result", "Save plot to image | Images (*.png) | project | result.png "
                                    "the plot alone");
        row("entry 1 given Window.Png", "Save window to mage | Images (*.png) | project | "
                                        "Window.Png 922x700");
        row("entry 0 given map.bmp", "Save plot to image | Images (*.png) | project | "
                                     "map.bmp.png the plot alone");
        row("tracker while saving, then after", "active enabled");
        // Title | bounds, the labels of 1500 and 1999999.6, shown, spacing, canvas aligned to the
        // scale ends.
        row("xTop", "  6px bold #000000 | 0 3000 1,500 2e+06 true 10 aligned");
        row("xBottom", "Offset (m) 13px bold #000000 | 0 3000 1500 2000000 true 10 aligned");
        row("yLeft", "FB Time (ms) 13px bold #000000 | 0 2100 1500 2000000 true 10 aligned");
        row("yRight", "FB Density 15px bold #800000 | 0 20 1,500 2e+06 true 10 aligned");
        row("plot", "Offset-FB CrossPlot 18px normal #800000 | FB file: picks.fb | 15 15 15 15");
        row("grid", "#a0a0a4 0 DotLine minor off");
        row("colour bar, then after point size 8", "true 0 20 FB Density | redrawn true 0 20 FB "
                                                   "Density");
        // Tracker mode 2: active only; rubber band 3: a cross.
        row("tracker", "2 3 #0000ff");
        row("tracker at the corners, then near the lower left",
            "(0 m, 0 ms) (3000 m, 2100 ms) (4 m, 5 ms) (17 m, 32 ms) ");
        row("velocity", "2 3 #000000 2 DashLine SquareCap BevelJoin");
        // Not moved, to the lower left, along the top, down the right; active after the line?
        row("velocity while held, to the corners from the upper right, after",
            "no text | no text |  ( V = 1429 m/s )  in #800000 on #c8ffffff |  ( V = inf m/s )  in "
            "#800000 on #c8ffffff |  ( V = 0 m/s )  in #800000 on #c8ffffff | inactive");
        row("three windows in memory for two",
            "| | The density cannot be drawn at point size 4: its matrix of 750 x 525 cells "
            "needs 3.01 MiB, and 990.43 KiB are available | ");
        row("tracker after left, right, both, left", "no text | no text | no text | (0 m, 0 ms) "
                                                     "in #000000 on #c8ffffff | ");
    }

    void face()
    {
        static const Seen seen = lookAtWindow();
        QTEST(seen.value(QTest::currentDataTag()), "expected");
    }
};

QTEST_MAIN(tst_CrossPlotMap)
#include "tst_CrossPlotMap.moc"
