// Entry points of the plug-in library and the definition the host reads from it.
#include <dzplugin.h>
#include "pane/verdixpane.h"
#include "persistence/verdixscenemodel.h"
#include "plugin/verdixpaneaction.h"

namespace {

// Hosts keep these ids in saved scenes and settings: never change them.
const char* const kPaneActionId = "{6b1f3a52-8d4e-4c71-9a0b-2e5d7c9f1a31}";
const char* const kPaneId = "{c2e8d417-5a93-4f06-b8d1-74a6e03f5b92}";
const char* const kSceneModelId = "{9f4a7c1e-3b62-48d5-a1e7-0c8b5d2f6e43}";
const char* const kSceneModelIOId = "{e5d03b86-17fa-4e2c-9b45-d8a1c6f7032b}";

QString description()
{
    const QStringList lines = {
        "<font color='BLACK'>Verdix</font>",
        "Release update: 19th June 2019",
        "Landscapes V1.0",
        "Stones V1.0",
        "Grass V1.0",
        "Flowers V1.0",
        "Trees v1.0",
        "Billboard v1.0",
        "Creates a landscape with animated wind effects on flowers trees and grass.",
        "Animated billboards with look at camera.",
    };
    return lines.join("<br/>");
}

DzPlugin* buildDefinition()
{
    auto* plugin = new DzPlugin("Verdix", "ZPK Halvorn", description(), 1, 0, 0, 114);
    plugin->addClassFactory(
        new DzTClassFactory<ZPK_VerdixPaneAction>("ZPK_VerdixPaneAction", DzGuid::fromString(kPaneActionId)));
    plugin->addClassFactory(new DzTClassFactory<ZPK_VerdixPane>("ZPK_VerdixPane", DzGuid::fromString(kPaneId)));
    plugin->addClassFactory(
        new DzTClassFactory<VerdixSceneModel>("VerdixSceneModel", DzGuid::fromString(kSceneModelId)));
    plugin->addClassFactory(new DzTClassFactory<MySceneModelIO>("MySceneModelIO", DzGuid::fromString(kSceneModelIOId)));
    plugin->registerSceneDataIO("studio/scene_data/" + QString("verdix_scene_data"), "MySceneModelIO",
                                "VerdixSceneModel");
    return plugin;
}

// Built while the library loads, so the entry point only hands the pointer out. It lives
// as long as the process: the host keeps using its factories until it exits.
DzPlugin* const g_definition = buildDefinition();

}  // namespace

extern "C" Q_DECL_EXPORT DzVersion getSDKVersion()
{
    // The SDK this library was built against, whatever host loads it.
    return DzVersion{4, 5, 0, 100};
}

extern "C" Q_DECL_EXPORT DzPlugin* getPluginDefinition() { return g_definition; }
