#pragma once
// Scene nodes: label, asset id, visibility, presentation, hierarchy and transform.
#include <QList>
#include <QString>
#include "dzbase.h"
#include "dzmath.h"

class DzObject;

class DZHOST_EXPORT DzSceneAsset : public DzElement
{
    Q_OBJECT
public:
    explicit DzSceneAsset(QObject* parent = nullptr) : DzElement(parent) {}
    QString getAssetId() const { return m_assetId; }
    void setAssetId(const QString& id) { m_assetId = id; }

private:
    QString m_assetId;
};

class DZHOST_EXPORT DzPresentation : public DzBase
{
    Q_OBJECT
public:
    explicit DzPresentation(QObject* parent = nullptr) : DzBase(parent) {}
    QString getType() const { return m_type; }
    void setType(const QString& type) { m_type = type; }

private:
    QString m_type;
};

class DZHOST_EXPORT DzNode : public DzSceneAsset
{
    Q_OBJECT
public:
    explicit DzNode(QObject* parent = nullptr) : DzSceneAsset(parent) {}
    ~DzNode() override;

    // The node owns its object.
    void setObject(DzObject* obj);
    DzObject* getObject() const { return m_object; }

    bool isVisible() const { return m_visible; }
    void setVisible(bool on) { m_visible = on; }
    bool isSelectable() const { return m_selectable; }
    void setSelectable(bool on) { m_selectable = on; }
    bool isVisibleInRender() const { return m_visibleInRender; }
    void setVisibleInRender(bool on) { m_visibleInRender = on; }
    int getRenderPriority() const { return m_renderPriority; }
    void setRenderPriority(int p) { m_renderPriority = p; }
    bool isSelected() const { return m_selected; }
    void setSelected(bool on);

    DzPresentation* getPresentation() const { return m_presentation; }
    void setPresentation(DzPresentation* p);

    // Hierarchy. With inPlace false the child keeps its local transform and so follows
    // its new parent; with true its world transform is kept.
    void addNodeChild(DzNode* child, bool inPlace = false);
    void removeNodeChild(DzNode* child, bool inPlace = true);
    DzNode* getNodeParent() const { return m_parent; }
    int getNumNodeChildren() const { return m_children.size(); }
    DzNode* getNodeChild(int i) const { return m_children.value(i); }

    DzVec3 getLocalPos() const { return m_local.pos; }
    void setLocalPos(const DzVec3& p) { m_local.pos = p; }
    DzQuat getLocalRot() const { return m_local.rot; }
    void setLocalRot(const DzQuat& q) { m_local.rot = q; }
    DzVec3 getLocalScale() const { return m_local.scale; }
    void setLocalScale(const DzVec3& s) { m_local.scale = s; }
    const DzTransform& getLocalTransform() const { return m_local; }
    void setLocalTransform(const DzTransform& t) { m_local = t; }

    DzTransform getWSTransform() const;
    DzVec3 getWSPos() const { return getWSTransform().pos; }
    // Moves the node so its world position is p, whatever its parent does.
    void setWSPos(const DzVec3& p);

signals:
    void selectionStateChanged(DzNode* node, bool onOff);

private:
    DzObject* m_object = nullptr;
    DzPresentation* m_presentation = nullptr;
    DzNode* m_parent = nullptr;
    QList<DzNode*> m_children;
    DzTransform m_local;
    bool m_visible = true;
    bool m_selectable = true;
    bool m_visibleInRender = true;
    bool m_selected = false;
    int m_renderPriority = 0;
};

// The viewport's camera is a node like any other; billboards read its world position.
class DZHOST_EXPORT DzCameraNode : public DzNode
{
    Q_OBJECT
public:
    explicit DzCameraNode(QObject* parent = nullptr) : DzNode(parent) {}
    DzVec3 getFocalPoint() const { return m_target; }
    void setFocalPoint(const DzVec3& t) { m_target = t; }
    float getFieldOfView() const { return m_fovDegrees; }
    void setFieldOfView(float deg) { m_fovDegrees = deg; }

private:
    DzVec3 m_target;
    float m_fovDegrees = 45.f;
};
