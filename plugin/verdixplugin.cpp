// Entry points of the plug-in library.
#include <dzplugin.h>

static DzPlugin* definition()
{
    static DzPlugin* plugin = new DzPlugin("Verdix", "ZPK Halvorn", QString(), 1, 0, 0, 114);
    return plugin;
}

extern "C" Q_DECL_EXPORT DzVersion getSDKVersion()
{
    return DZ_SDK_VERSION;
}

extern "C" Q_DECL_EXPORT DzPlugin* getPluginDefinition()
{
    return definition();
}
