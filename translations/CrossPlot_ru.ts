<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru">
<context>
    <name>CrossPlot</name>
    <message>
        <source>Offset-FB CrossPlot</source>
        <translation>Offset-FB CrossPlot</translation>
    </message>
</context>
<context>
    <name>CrossPlotDialog</name>
    <message>
        <source>Offset-FB CrossPlot</source>
        <translation>Offset-FB CrossPlot</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>ОК</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Отмена</translation>
    </message>
    <message>
        <source>FB file:</source>
        <translation>Файл пикировок:</translation>
    </message>
    <message>
        <source>&lt;&gt;</source>
        <translation>&lt;&gt;</translation>
    </message>
    <message>
        <source>Plot offset range:</source>
        <translation>Диапазон удалений:</translation>
    </message>
    <message>
        <source>to</source>
        <translation>до</translation>
    </message>
    <message>
        <source>(both 0, no limit)</source>
        <translation>(оба 0 — все)</translation>
    </message>
    <message>
        <source>Plot FB type:</source>
        <translation>Тип вступлений:</translation>
    </message>
    <message>
        <source>Correct FB</source>
        <translation>Правильные</translation>
    </message>
    <message>
        <source>Error FB</source>
        <translation>Ошибочные</translation>
    </message>
    <message>
        <source>Both</source>
        <translation>Все</translation>
    </message>
    <message>
        <source>Error: the offset range is illegal.</source>
        <translation>Ошибка: недопустимый диапазон удалений.</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Ошибка</translation>
    </message>
    <message>
        <source>Error: fail to open the file: %1</source>
        <translation>Ошибка: не удалось открыть файл: %1</translation>
    </message>
    <message>
        <source>Error: the input file is illegal.</source>
        <translation>Ошибка: неверный формат входного файла.</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>Открыть</translation>
    </message>
    <message>
        <source>FB files (*.cal *.fb *.fit)</source>
        <translation>Файлы пикировок (*.cal *.fb *.fit)</translation>
    </message>
</context>
<context>
    <name>CrossPlotMap</name>
    <message>
        <source>Offset-FB CrossPlot</source>
        <translation>Offset-FB CrossPlot</translation>
    </message>
    <message>
        <source>Color setting: </source>
        <translation>Палитра: </translation>
    </message>
    <message>
        <source>Cyan</source>
        <translation>Голубой</translation>
    </message>
    <message>
        <source>Green</source>
        <translation>Зелёный</translation>
    </message>
    <message>
        <source>Yellow</source>
        <translation>Жёлтый</translation>
    </message>
    <message>
        <source>Reset</source>
        <translation>Сброс</translation>
    </message>
    <message>
        <source>Point size:</source>
        <translation>Размер точки:</translation>
    </message>
    <message>
        <source>B.G. color:</source>
        <translation>Фон:</translation>
    </message>
    <message>
        <source>FB type:</source>
        <translation>Тип:</translation>
    </message>
    <message>
        <source>for-type</source>
        <translation>for-type</translation>
    </message>
    <message>
        <source>Offset:</source>
        <translation>Удаления:</translation>
    </message>
    <message>
        <source>for-offset-range</source>
        <translation>for-offset-range</translation>
    </message>
    <message>
        <source>Number of FBs:</source>
        <translation>Вступлений:</translation>
    </message>
    <message>
        <source>for-FBNum</source>
        <translation>for-FBNum</translation>
    </message>
    <message>
        <source>Save plot to image file</source>
        <translation>Сохранить график в файл изображения</translation>
    </message>
    <message>
        <source>Save window to image file</source>
        <translation>Сохранить окно в файл изображения</translation>
    </message>
    <message>
        <source>Save plot to image</source>
        <translation>Сохранить график как изображение</translation>
    </message>
    <message>
        <source>Save window to mage</source>
        <translation>Сохранить окно как изображение</translation>
    </message>
    <message>
        <source>Read FB data......</source>
        <translation>Чтение первых вступлений…</translation>
    </message>
    <message>
        <source>FB Time (ms)</source>
        <translation>Время первых вступлений, мс</translation>
    </message>
    <message>
        <source>FB Density</source>
        <translation>Плотность вступлений</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Ошибочные</translation>
    </message>
    <message>
        <source>%L1 ( %2% )</source>
        <translation>%L1 (%2%)</translation>
    </message>
    <message>
        <source>Images (*.png)</source>
        <translation>Изображения (*.png)</translation>
    </message>
    <message>
        <source>%L1 records of the file could not be read: the memory available held no buffer for them. %L2 accepted picks are drawn.</source>
        <translation>Не удалось прочитать %L1 записей файла: в доступной памяти не нашлось для них буфера. Показано принятых пикировок: %L2.</translation>
    </message>
    <message>
        <source>Only %L1 of the %L2 accepted picks are drawn: one window holds at most %L3 picks. A narrower offset range would draw them all.</source>
        <translation>Показаны только %L1 из %L2 принятых пикировок: одно окно вмещает не более %L3. При более узком диапазоне удалений будут показаны все.</translation>
    </message>
    <message>
        <source>Only %L1 of the %L2 accepted picks are drawn: the rest do not fit in the memory available. A narrower offset range would draw them all.</source>
        <translation>Показаны только %L1 из %L2 принятых пикировок: остальные не помещаются в доступную память. При более узком диапазоне удалений будут показаны все.</translation>
    </message>
    <message>
        <source>No density can be drawn: the fine grid of %L1 x %L2 cells (the latest FB time is %L3 ms) needs %4, and %5 are available. Check the file&apos;s FB times, or choose a narrower offset range.</source>
        <translation>Плотность построить нельзя: мелкой сетке %L1 × %L2 ячеек (наибольшее время первого вступления %L3 мс) нужно %4, а доступно %5. Проверьте времена первых вступлений в файле или выберите более узкий диапазон удалений.</translation>
    </message>
    <message>
        <source>The density cannot be drawn at point size %1: its matrix of %L2 x %L3 cells is larger than one matrix can hold (%L4 cells). A larger point size or a narrower offset range would help.</source>
        <translation>Плотность нельзя построить при размере точки %1: матрица %L2 × %L3 ячеек больше, чем вмещает одна матрица (%L4 ячеек). Поможет больший размер точки или более узкий диапазон удалений.</translation>
    </message>
    <message>
        <source>The density cannot be drawn at point size %1: its matrix of %L2 x %L3 cells needs %4, and %5 are available. A larger point size or a narrower offset range would help.</source>
        <translation>Плотность нельзя построить при размере точки %1: матрице %L2 × %L3 ячеек нужно %4, а доступно %5. Поможет больший размер точки или более узкий диапазон удалений.</translation>
    </message>
</context>
<context>
    <name>FBLoader</name>
    <message>
        <source>CROSSPLOT_LOAD_THREADS=%1 is not a whole number from 1 to %2; %3 threads are used instead.</source>
        <translation>CROSSPLOT_LOAD_THREADS=%1 — не целое число от 1 до %2; вместо него используется потоков: %3.</translation>
    </message>
</context>
<context>
    <name>PointPicker</name>
    <message>
        <source> m, </source>
        <translation> м, </translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>Cancel</source>
        <translation>Отмена</translation>
    </message>
    <message>
        <source>Read FB data</source>
        <translation>Чтение первых вступлений</translation>
    </message>
    <message>
        <source>Offset (m)</source>
        <translation>Удаление, м</translation>
    </message>
    <message>
        <source>FB file: </source>
        <translation>Файл пикировок: </translation>
    </message>
    <message>
        <source>Correct</source>
        <translation>Правильные</translation>
    </message>
    <message>
        <source>Both</source>
        <translation>Все</translation>
    </message>
    <message>
        <source>ms</source>
        <translation>мс</translation>
    </message>
</context>
<context>
    <name>velPicker</name>
    <message>
        <source> m/s ) </source>
        <translation> м/с ) </translation>
    </message>
</context>
</TS>
