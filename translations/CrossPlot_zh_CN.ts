<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
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
        <translation>确定</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>FB file:</source>
        <translation>初至文件：</translation>
    </message>
    <message>
        <source>&lt;&gt;</source>
        <translation>&lt;&gt;</translation>
    </message>
    <message>
        <source>Plot offset range:</source>
        <translation>炮检距范围：</translation>
    </message>
    <message>
        <source>to</source>
        <translation>至</translation>
    </message>
    <message>
        <source>(both 0, no limit)</source>
        <translation>（均为 0 表示不限）</translation>
    </message>
    <message>
        <source>Plot FB type:</source>
        <translation>初至类型：</translation>
    </message>
    <message>
        <source>Correct FB</source>
        <translation>正确初至</translation>
    </message>
    <message>
        <source>Error FB</source>
        <translation>错误初至</translation>
    </message>
    <message>
        <source>Both</source>
        <translation>全部</translation>
    </message>
    <message>
        <source>Error: the offset range is illegal.</source>
        <translation>错误：炮检距范围无效。</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>错误</translation>
    </message>
    <message>
        <source>Error: fail to open the file: %1</source>
        <translation>错误：无法打开文件：%1</translation>
    </message>
    <message>
        <source>Error: the input file is illegal.</source>
        <translation>错误：输入文件格式不正确。</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>打开</translation>
    </message>
    <message>
        <source>FB files (*.cal *.fb *.fit)</source>
        <translation>初至文件 (*.cal *.fb *.fit)</translation>
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
        <translation>色标设置： </translation>
    </message>
    <message>
        <source>Cyan</source>
        <translation>青色</translation>
    </message>
    <message>
        <source>Green</source>
        <translation>绿色</translation>
    </message>
    <message>
        <source>Yellow</source>
        <translation>黄色</translation>
    </message>
    <message>
        <source>Reset</source>
        <translation>重置</translation>
    </message>
    <message>
        <source>Point size:</source>
        <translation>点大小：</translation>
    </message>
    <message>
        <source>B.G. color:</source>
        <translation>背景色：</translation>
    </message>
    <message>
        <source>FB type:</source>
        <translation>初至类型：</translation>
    </message>
    <message>
        <source>for-type</source>
        <translation>for-type</translation>
    </message>
    <message>
        <source>Offset:</source>
        <translation>炮检距：</translation>
    </message>
    <message>
        <source>for-offset-range</source>
        <translation>for-offset-range</translation>
    </message>
    <message>
        <source>Number of FBs:</source>
        <translation>初至个数：</translation>
    </message>
    <message>
        <source>for-FBNum</source>
        <translation>for-FBNum</translation>
    </message>
    <message>
        <source>Save plot to image file</source>
        <translation>将图件保存为图像文件</translation>
    </message>
    <message>
        <source>Save window to image file</source>
        <translation>将窗口保存为图像文件</translation>
    </message>
    <message>
        <source>Save plot to image</source>
        <translation>将图件保存为图像</translation>
    </message>
    <message>
        <source>Save window to mage</source>
        <translation>将窗口保存为图像</translation>
    </message>
    <message>
        <source>Read FB data......</source>
        <translation>正在读取初至数据……</translation>
    </message>
    <message>
        <source>FB Time (ms)</source>
        <translation>初至时间 (ms)</translation>
    </message>
    <message>
        <source>FB Density</source>
        <translation>初至密度</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>错误</translation>
    </message>
    <message>
        <source>%L1 ( %2% )</source>
        <translation>%L1（%2%）</translation>
    </message>
    <message>
        <source>Images (*.png)</source>
        <translation>图像 (*.png)</translation>
    </message>
    <message>
        <source>%L1 records of the file could not be read: the memory available held no buffer for them. %L2 accepted picks are drawn.</source>
        <translation>文件中有 %L1 条记录无法读取：可用内存中没有可供读取它们的缓冲区。已绘制 %L2 个已接受的初至。</translation>
    </message>
    <message>
        <source>Only %L1 of the %L2 accepted picks are drawn: one window holds at most %L3 picks. A narrower offset range would draw them all.</source>
        <translation>仅绘制了 %L2 个已接受初至中的 %L1 个：一个窗口最多容纳 %L3 个初至。缩小炮检距范围即可全部绘制。</translation>
    </message>
    <message>
        <source>Only %L1 of the %L2 accepted picks are drawn: the rest do not fit in the memory available. A narrower offset range would draw them all.</source>
        <translation>仅绘制了 %L2 个已接受初至中的 %L1 个：其余初至超出可用内存。缩小炮检距范围即可全部绘制。</translation>
    </message>
    <message>
        <source>No density can be drawn: the fine grid of %L1 x %L2 cells (the latest FB time is %L3 ms) needs %4, and %5 are available. Check the file&apos;s FB times, or choose a narrower offset range.</source>
        <translation>无法绘制密度：%L1 × %L2 个单元的精细网格（最大初至时间为 %L3 ms）需要 %4，而可用内存只有 %5。请检查文件中的初至时间，或选择更窄的炮检距范围。</translation>
    </message>
    <message>
        <source>The density cannot be drawn at point size %1: its matrix of %L2 x %L3 cells is larger than one matrix can hold (%L4 cells). A larger point size or a narrower offset range would help.</source>
        <translation>点大小为 %1 时无法绘制密度：%L2 × %L3 个单元的矩阵超出单个矩阵的容量（%L4 个单元）。增大点大小或缩小炮检距范围可以解决。</translation>
    </message>
    <message>
        <source>The density cannot be drawn at point size %1: its matrix of %L2 x %L3 cells needs %4, and %5 are available. A larger point size or a narrower offset range would help.</source>
        <translation>点大小为 %1 时无法绘制密度：%L2 × %L3 个单元的矩阵需要 %4，而可用内存只有 %5。增大点大小或缩小炮检距范围可以解决。</translation>
    </message>
</context>
<context>
    <name>FBLoader</name>
    <message>
        <source>CROSSPLOT_LOAD_THREADS=%1 is not a whole number from 1 to %2; %3 threads are used instead.</source>
        <translation>CROSSPLOT_LOAD_THREADS=%1 不是 1 到 %2 之间的整数；改用 %3 个线程。</translation>
    </message>
</context>
<context>
    <name>PointPicker</name>
    <message>
        <source> m, </source>
        <translation> m, </translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Read FB data</source>
        <translation>读取初至数据</translation>
    </message>
    <message>
        <source>Offset (m)</source>
        <translation>炮检距 (m)</translation>
    </message>
    <message>
        <source>FB file: </source>
        <translation>初至文件： </translation>
    </message>
    <message>
        <source>Correct</source>
        <translation>正确</translation>
    </message>
    <message>
        <source>Both</source>
        <translation>全部</translation>
    </message>
    <message>
        <source>ms</source>
        <translation>ms</translation>
    </message>
</context>
<context>
    <name>velPicker</name>
    <message>
        <source> m/s ) </source>
        <translation> m/s ) </translation>
    </message>
</context>
</TS>
