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
