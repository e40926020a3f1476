// Host scene files (JSON). Placeholder until the reader and writer land.
#include "dzscene.h"

bool DzScene::saveScene(const QString&, QString* error)
{
    if (error) *error = "Scene files are not available yet";
    return false;
}

bool DzScene::loadScene(const QString&, QString* error)
{
    if (error) *error = "Scene files are not available yet";
    return false;
}

bool DzScene::mergeScene(const QString&, QString* error)
{
    if (error) *error = "Scene files are not available yet";
    return false;
}
