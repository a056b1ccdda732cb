#include "DrawNotice.h"
#include "FBLoader.h"
#include "TestSupport.h"

#include <QTranslator>

// Each translation compiled into the plug-in's resources covers every text the plug-in shows;
// tst_PluginLoading sees the widgets show it once the host installs it.
class tst_Translations : public QObject
{
    Q_OBJECT

private slots:
    void catalogueCoversTheCode_data()
    {
        QTest::addColumn<QString>("language");
        // Every .ts file of the source tree, so that a new language is checked without a new row.
        const QStringList tsFiles =
            QDir(CROSSPLOT_TS_DIR).entryList({"CrossPlot_*.ts"}, QDir::Files);
        QVERIFY(tsFiles.size() >= 2);
        for (const QString &name : tsFiles)
            QTest::newRow(qPrintable(name)) << name.mid(10).chopped(3);
    }

    void catalogueCoversTheCode()
    {
        QFETCH(QString, language);
        const QString name = "/CrossPlot_" + language;
        // Each text in the context of the class that shows it.
        checkCatalogue(CROSSPLOT_TS_DIR + name + ".ts",
                       {CROSSPLOT_SOURCE_DIR "/plugins/CrossPlot", CROSSPLOT_SOURCE_DIR "/ui"},
                       ":/resource/translations" + name + ".qm");
    }

    // Each notice as the catalogue of a language gives it, figures and sizes in that locale's
    // form: a notice filed under another context than the one the code looks it up in stays
    // English here. Dropped: 1,250 of 1,500 picks drawn; unread: 32,768 records; grid: 25 x 34
    // cells up to 36 ms, needing 3,400 bytes; matrix: 25 x 34 cells needing 7,072 bytes; too
    // large: 17,000 x 16,100 cells. 500 bytes are available.
    void noticeTranslated_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("notice");
        QTest::addColumn<QString>("text");
        const auto row = [](const char *language, const char *notice, const char *text) {
            QTest::addRow("%s %s", language, notice) << language << notice << QString(text);
        };
        row("en", "grid",
            "No density can be drawn: the fine grid of 25 x 34 cells (the latest FB "
            "time is 36 ms) needs 3.32 KiB, and 500 bytes are available. Check the "
            "file's FB times, or choose a narrower offset range.");
        row("ru", "dropped",
            "Показаны только 1\u00a0250 из 1\u00a0500 принятых пикировок: "
            "остальные не помещаются в доступную память. При более узком "
            "диапазоне удалений будут показаны все.");
        row("ru", "unread",
            "Не удалось прочитать 32\u00a0768 записей файла: в доступной памяти не "
            "нашлось для них буфера. Показано принятых пикировок: 1\u00a0250.");
        row("ru", "grid",
            "Плотность построить нельзя: мелкой сетке 25 × 34 ячеек (наибольшее время "
            "первого вступления 36 мс) нужно 3,32 KiB, а доступно 500 байты. Проверьте "
            "времена первых вступлений в файле или выберите более узкий диапазон "
            "удалений.");
        row("ru", "matrix",
            "Плотность нельзя построить при размере точки 4: матрице 25 × 34 ячеек "
            "нужно 6,91 KiB, а доступно 500 байты. Поможет больший размер точки или "
            "более узкий диапазон удалений.");
        row("ru", "too large",
            "Плотность нельзя построить при размере точки 1: матрица 17\u00a0000 × "
            "16\u00a0100 ячеек больше, чем вмещает одна матрица (268\u00a0435\u00a0447 "
            "ячеек). Поможет больший размер точки или более узкий диапазон "
            "удалений.");
        row("zh_CN", "dropped",
            "仅绘制了 1,500 个已接受初至中的 1,250 个：其余初至超出可用内存。"
            "缩小炮检距范围即可全部绘制。");
        row("zh_CN", "unread",
            "文件中有 32,768 条记录无法读取：可用内存中没有可供读取它们的缓冲区。"
            "已绘制 1,250 个已接受的初至。");
        row("zh_CN", "grid",
            "无法绘制密度：25 × 34 个单元的精细网格（最大初至时间为 36 ms）需要 "
            "3.32 KiB，而可用内存只有 500 字节。请检查文件中的初至时间，或选择更"
            "窄的炮检距范围。");
        row("zh_CN", "matrix",
            "点大小为 4 时无法绘制密度：25 × 34 个单元的矩阵需要 6.91 KiB，而可用"
            "内存只有 500 字节。增大点大小或缩小炮检距范围可以解决。");
        row("zh_CN", "too large",
            "点大小为 1 时无法绘制密度：17,000 × 16,100 个单元的矩阵超出单个"
            "矩阵的容量（268,435,447 个单元）。增大点大小或缩小炮检距范围可以"
            "解决。");
    }

    void noticeTranslated()
    {
        QFETCH(QString, language);
        QFETCH(QString, notice);
        QTranslator catalogue;
        QVERIFY(language == "en" ||
                catalogue.load(":/resource/translations/CrossPlot_" + language + ".qm"));
        QCoreApplication::installTranslator(&catalogue);
        QLocale::setDefault(QLocale(language == "en" ? "en_US" : language));
        qputenv("CROSSPLOT_MEMORY_AVAILABLE", "500");
        FBPicks picks;
        picks.pickCount = 1500;
        picks.droppedPicks = 250;
        picks.unreadRecords = notice == "unread" ? 32768 : 0;
        DensityGrid::Result grid;
        grid.cellCount = 850;
        grid.timeMax = 136;
        grid.refusedBytes = 3400;
        DensityMatrix matrix;
        matrix.columns = notice == "too large" ? 17000 : 25;
        matrix.rows = notice == "too large" ? 16100 : 34;
        matrix.refusedBytes = 7072;
        const QString shown = notice == "grid"        ? DrawNotice::forGrid(grid)
                              : notice == "matrix"    ? DrawNotice::forMatrix(matrix, 4)
                              : notice == "too large" ? DrawNotice::forMatrix(matrix, 1)
                                                      : DrawNotice::forPicks(picks);
        qunsetenv("CROSSPLOT_MEMORY_AVAILABLE");
        QLocale::setDefault(QLocale::c());
        QCoreApplication::removeTranslator(&catalogue);
        QTEST(shown, "text");
    }
};

QTEST_MAIN(tst_Translations)
#include "tst_Translations.moc"
