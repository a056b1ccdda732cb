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
