#include "KyGeneralPlugin.h"

KyGeneralPlugin::KyGeneralPlugin() = default;

KyGeneralPlugin::~KyGeneralPlugin() = default;

bool KyGeneralPlugin::needProject() const
{
    return true;
}
