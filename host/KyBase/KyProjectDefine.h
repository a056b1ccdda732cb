#pragma once

#include <QString>

// What the host knows of the open project. Empty paths mean no project is open.
struct KyProjectDefine
{
    QString projectPath; // the project's directory, absolute and clean
    QString projectName; // the directory's name, for display
};
