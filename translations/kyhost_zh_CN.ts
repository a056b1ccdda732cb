<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>HostWindow</name>
    <message>
        <source>KyHost</source>
        <translation>KyHost</translation>
    </message>
    <message>
        <source>&amp;Project</source>
        <translation>工区(&amp;P)</translation>
    </message>
    <message>
        <source>&amp;Open...</source>
        <translation>打开(&amp;O)...</translation>
    </message>
    <message>
        <source>&amp;Close</source>
        <translation>关闭(&amp;C)</translation>
    </message>
    <message>
        <source>&amp;Quit</source>
        <translation>退出(&amp;Q)</translation>
    </message>
    <message>
        <source>&amp;Tools</source>
        <translation>工具(&amp;T)</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>帮助(&amp;H)</translation>
    </message>
    <message>
        <source>&amp;Plug-ins...</source>
        <translation>插件(&amp;P)...</translation>
    </message>
    <message>
        <source>(no plug-ins)</source>
        <translation>（无插件）</translation>
    </message>
    <message>
        <source>Project: %1</source>
        <translation>工区：%1</translation>
    </message>
    <message>
        <source>No project open</source>
        <translation>未打开工区</translation>
    </message>
    <message>
        <source>Choose a tool from the Tools menu.</source>
        <translation>请从“工具”菜单中选择工具。</translation>
    </message>
    <message>
        <source>Open a project (Project &gt; Open...), then choose a tool from the Tools menu.</source>
        <translation>请先打开工区（“工区” &gt; “打开...”），再从“工具”菜单中选择工具。</translation>
    </message>
    <message>
        <source>Open project</source>
        <translation>打开工区</translation>
    </message>
    <message>
        <source>&lt;p&gt;Plug-in directory: %1&lt;/p&gt;</source>
        <translation>&lt;p&gt;插件目录：%1&lt;/p&gt;</translation>
    </message>
    <message>
        <source>&lt;p&gt;&lt;b&gt;Loaded&lt;/b&gt;&lt;/p&gt;&lt;ul&gt;</source>
        <translation>&lt;p&gt;&lt;b&gt;已加载&lt;/b&gt;&lt;/p&gt;&lt;ul&gt;</translation>
    </message>
    <message>
        <source>&lt;p&gt;&lt;b&gt;Not loaded&lt;/b&gt;&lt;/p&gt;&lt;ul&gt;</source>
        <translation>&lt;p&gt;&lt;b&gt;未加载&lt;/b&gt;&lt;/p&gt;&lt;ul&gt;</translation>
    </message>
    <message>
        <source>Plug-ins</source>
        <translation>插件</translation>
    </message>
</context>
<context>
    <name>KyProjectManager</name>
    <message>
        <source>The project directory &quot;%1&quot; does not exist.</source>
        <translation>工区目录“%1”不存在。</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is not a directory.</source>
        <translation>“%1”不是目录。</translation>
    </message>
    <message>
        <source>The project directory &quot;%1&quot; cannot be read.</source>
        <translation>无法读取工区目录“%1”。</translation>
    </message>
</context>
<context>
    <name>KyValueStore</name>
    <message>
        <source>project values in %1 cannot be read (%2); defaults are used and nothing is saved</source>
        <translation>无法读取 %1 中的工区参数（%2）；将使用默认值，且不保存任何内容</translation>
    </message>
    <message>
        <source>not a project value file</source>
        <translation>不是工区参数文件</translation>
    </message>
    <message>
        <source>project values in %1 cannot be parsed (%2); the file is left untouched, defaults are used and nothing is saved</source>
        <translation>无法解析 %1 中的工区参数（%2）；文件保持不变，将使用默认值，且不保存任何内容</translation>
    </message>
    <message>
        <source>project values cannot be saved to %1 (%2)</source>
        <translation>无法将工区参数保存到 %1（%2）</translation>
    </message>
</context>
<context>
    <name>PluginRegistry</name>
    <message>
        <source>the plug-in directory does not exist</source>
        <translation>插件目录不存在</translation>
    </message>
    <message>
        <source>not a Qt plug-in (no plug-in metadata)</source>
        <translation>不是 Qt 插件（没有插件元数据）</translation>
    </message>
    <message>
        <source>plug-in of another kind (IID &quot;%1&quot;)</source>
        <translation>其他类型的插件（IID“%1”）</translation>
    </message>
    <message>
        <source>the plug-in object is not a KyGeneralPlugin</source>
        <translation>插件对象不是 KyGeneralPlugin</translation>
    </message>
</context>
<context>
    <name>QCommandLineParser</name>
    <message>
        <source>Usage: %1</source>
        <translation>用法：%1</translation>
    </message>
    <message>
        <source>[options]</source>
        <translation>[选项]</translation>
    </message>
    <message>
        <source>Options:</source>
        <translation>选项：</translation>
    </message>
    <message>
        <source>Displays help on commandline options.</source>
        <translation>显示命令行选项的帮助。</translation>
    </message>
    <message>
        <source>Displays help including Qt specific options.</source>
        <translation>显示帮助，包括 Qt 特有的选项。</translation>
    </message>
    <message>
        <source>Displays version information.</source>
        <translation>显示版本信息。</translation>
    </message>
    <message>
        <source>Unknown option &apos;%1&apos;.</source>
        <translation>未知选项“%1”。</translation>
    </message>
    <message>
        <source>Unknown options: %1.</source>
        <translation>未知选项：%1。</translation>
    </message>
    <message>
        <source>Missing value after &apos;%1&apos;.</source>
        <translation>“%1”后缺少值。</translation>
    </message>
    <message>
        <source>Unexpected value after &apos;%1&apos;.</source>
        <translation>“%1”后有多余的值。</translation>
    </message>
</context>
<context>
    <name>kyhost</name>
    <message>
        <source>Stand-in host application for general plug-ins.
Plug-ins are loaded from %1 relative to the program&apos;s directory unless --plugins is given.

Exit codes: 0 success, 1 --list-plugins found no plug-in, 2 a bad command line.</source>
        <translation>通用插件的替身宿主程序。
未指定 --plugins 时，从相对于程序目录的 %1 加载插件。

退出码：0 成功，1 --list-plugins 未找到插件，2 命令行有误。</translation>
    </message>
    <message>
        <source>Open the project directory &lt;dir&gt;.</source>
        <translation>打开工区目录 &lt;dir&gt;。</translation>
    </message>
    <message>
        <source>Load plug-ins from &lt;dir&gt;.</source>
        <translation>从 &lt;dir&gt; 加载插件。</translation>
    </message>
    <message>
        <source>Print the plug-ins found and exit; needs no display.</source>
        <translation>列出找到的插件后退出；无需显示器。</translation>
    </message>
    <message>
        <source>%1 (see kyhost --help)</source>
        <translation>%1（参见 kyhost --help）</translation>
    </message>
    <message>
        <source>unexpected argument &apos;%1&apos; (see kyhost --help)</source>
        <translation>多余的参数“%1”（参见 kyhost --help）</translation>
    </message>
    <message>
        <source>plug-in %1 not loaded: %2</source>
        <translation>插件 %1 未加载：%2</translation>
    </message>
</context>
</TS>
