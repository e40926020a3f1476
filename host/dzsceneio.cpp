#include "dzsceneio.h"

bool DzAssetJsonObject::addMember(const QString&, const QJsonValue&) { return false; }
