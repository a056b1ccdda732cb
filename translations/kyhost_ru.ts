<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru">
<context>
    <name>HostWindow</name>
    <message>
        <source>KyHost</source>
        <translation>KyHost</translation>
    </message>
    <message>
        <source>&amp;Project</source>
        <translation>&amp;Проект</translation>
    </message>
    <message>
        <source>&amp;Open...</source>
        <translation>&amp;Открыть...</translation>
    </message>
    <message>
        <source>&amp;Close</source>
        <translation>&amp;Закрыть</translation>
    </message>
    <message>
        <source>&amp;Quit</source>
        <translation>В&amp;ыход</translation>
    </message>
    <message>
        <source>&amp;Tools</source>
        <translation>&amp;Инструменты</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>&amp;Справка</translation>
    </message>
    <message>
        <source>&amp;Plug-ins...</source>
        <translation>&amp;Модули...</translation>
    </message>
    <message>
        <source>(no plug-ins)</source>
        <translation>(нет модулей)</translation>
    </message>
    <message>
        <source>Project: %1</source>
        <translation>Проект: %1</translation>
    </message>
    <message>
        <source>No project open</source>
        <translation>Проект не открыт</translation>
    </message>
    <message>
        <source>Choose a tool from the Tools menu.</source>
        <translation>Выберите инструмент в меню «Инструменты».</translation>
    </message>
    <message>
        <source>Open a project (Project &gt; Open...), then choose a tool from the Tools menu.</source>
        <translation>Откройте проект («Проект» &gt; «Открыть...»), затем выберите инструмент в меню «Инструменты».</translation>
    </message>
    <message>
        <source>Open project</source>
        <translation>Открыть проект</translation>
    </message>
    <message>
        <source>&lt;p&gt;Plug-in directory: %1&lt;/p&gt;</source>
        <translation>&lt;p&gt;Каталог модулей: %1&lt;/p&gt;</translation>
    </message>
    <message>
        <source>&lt;p&gt;&lt;b&gt;Loaded&lt;/b&gt;&lt;/p&gt;&lt;ul&gt;</source>
        <translation>&lt;p&gt;&lt;b&gt;Загружены&lt;/b&gt;&lt;/p&gt;&lt;ul&gt;</translation>
    </message>
    <message>
        <source>&lt;p&gt;&lt;b&gt;Not loaded&lt;/b&gt;&lt;/p&gt;&lt;ul&gt;</source>
        <translation>&lt;p&gt;&lt;b&gt;Не загружены&lt;/b&gt;&lt;/p&gt;&lt;ul&gt;</translation>
    </message>
    <message>
        <source>Plug-ins</source>
        <translation>Модули</translation>
    </message>
</context>
<context>
    <name>KyProjectManager</name>
    <message>
        <source>The project directory &quot;%1&quot; does not exist.</source>
        <translation>Каталог проекта «%1» не существует.</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is not a directory.</source>
        <translation>«%1» не является каталогом.</translation>
    </message>
    <message>
        <source>The project directory &quot;%1&quot; cannot be read.</source>
        <translation>Каталог проекта «%1» недоступен для чтения.</translation>
    </message>
</context>
<context>
    <name>KyValueStore</name>
    <message>
        <source>project values in %1 cannot be read (%2); defaults are used and nothing is saved</source>
        <translation>значения проекта в %1 не читаются (%2); используются значения по умолчанию, ничего не сохраняется</translation>
    </message>
    <message>
        <source>not a project value file</source>
        <translation>это не файл значений проекта</translation>
    </message>
    <message>
        <source>project values in %1 cannot be parsed (%2); the file is left untouched, defaults are used and nothing is saved</source>
        <translation>значения проекта в %1 не разбираются (%2); файл не изменяется, используются значения по умолчанию, ничего не сохраняется</translation>
    </message>
    <message>
        <source>project values cannot be saved to %1 (%2)</source>
        <translation>значения проекта не сохраняются в %1 (%2)</translation>
    </message>
</context>
<context>
    <name>PluginRegistry</name>
    <message>
        <source>the plug-in directory does not exist</source>
        <translation>каталог модулей не существует</translation>
    </message>
    <message>
        <source>not a Qt plug-in (no plug-in metadata)</source>
        <translation>не модуль Qt (нет метаданных модуля)</translation>
    </message>
    <message>
        <source>plug-in of another kind (IID &quot;%1&quot;)</source>
        <translation>модуль другого типа (IID «%1»)</translation>
    </message>
    <message>
        <source>the plug-in object is not a KyGeneralPlugin</source>
        <translation>объект модуля не является KyGeneralPlugin</translation>
    </message>
</context>
<context>
    <name>QCommandLineParser</name>
    <message>
        <source>Usage: %1</source>
        <translation>Использование: %1</translation>
    </message>
    <message>
        <source>[options]</source>
        <translation>[параметры]</translation>
    </message>
    <message>
        <source>Options:</source>
        <translation>Параметры:</translation>
    </message>
    <message>
        <source>Displays help on commandline options.</source>
        <translation>Показывает справку по параметрам командной строки.</translation>
    </message>
    <message>
        <source>Displays help including Qt specific options.</source>
        <translation>Показывает справку, включая параметры Qt.</translation>
    </message>
    <message>
        <source>Displays version information.</source>
        <translation>Показывает номер версии.</translation>
    </message>
    <message>
        <source>Unknown option &apos;%1&apos;.</source>
        <translation>Неизвестный параметр «%1».</translation>
    </message>
    <message>
        <source>Unknown options: %1.</source>
        <translation>Неизвестные параметры: %1.</translation>
    </message>
    <message>
        <source>Missing value after &apos;%1&apos;.</source>
        <translation>Нет значения после «%1».</translation>
    </message>
    <message>
        <source>Unexpected value after &apos;%1&apos;.</source>
        <translation>Лишнее значение после «%1».</translation>
    </message>
</context>
<context>
    <name>kyhost</name>
    <message>
        <source>Stand-in host application for general plug-ins.
Plug-ins are loaded from %1 relative to the program&apos;s directory unless --plugins is given.

Exit codes: 0 success, 1 --list-plugins found no plug-in, 2 a bad command line.</source>
        <translation>Замещающее хост-приложение для общих модулей.
Модули загружаются из %1 относительно каталога программы, если не задан --plugins.

Коды выхода: 0 успех, 1 --list-plugins не нашёл ни одного модуля, 2 ошибка в командной строке.</translation>
    </message>
    <message>
        <source>Open the project directory &lt;dir&gt;.</source>
        <translation>Открыть каталог проекта &lt;dir&gt;.</translation>
    </message>
    <message>
        <source>Load plug-ins from &lt;dir&gt;.</source>
        <translation>Загрузить модули из &lt;dir&gt;.</translation>
    </message>
    <message>
        <source>Print the plug-ins found and exit; needs no display.</source>
        <translation>Вывести найденные модули и выйти; дисплей не нужен.</translation>
    </message>
    <message>
        <source>%1 (see kyhost --help)</source>
        <translation>%1 (см. kyhost --help)</translation>
    </message>
    <message>
        <source>unexpected argument &apos;%1&apos; (see kyhost --help)</source>
        <translation>лишний аргумент «%1» (см. kyhost --help)</translation>
    </message>
    <message>
        <source>plug-in %1 not loaded: %2</source>
        <translation>модуль %1 не загружен: %2</translation>
    </message>
</context>
</TS>
