#pragma once
// The Verdix pane. One class holds every slot because hosts, scripts and the maker's
// other panes reach them by name; the definitions live with their subsystems.
#include <QMutex>
#include <QPointer>
#include <QString>
#include <dzpane.h>
#include <atomic>
#include <functional>
#include "pane/controlbox.h"

class DzFacetMesh;
class DzIntSlider;
class DzMaterial;
class DzNode;
class QCheckBox;
class QComboBox;
class QFrame;
class QGridLayout;
class QLabel;
class QProgressBar;
class QPushButton;
class QScrollArea;
class QTimer;
class QVBoxLayout;
class VerdixSceneModel;

class ZPK_VerdixPane : public DzPane
{
    Q_OBJECT
public:
    ZPK_VerdixPane();
    ~ZPK_VerdixPane() override;

    // Fills a new object node's mesh: (box index, mesh).
    using MeshFill = std::function<void(int, DzFacetMesh*)>;

    // The object node of a new box of a generated type: looks up the landscape named by
    // the selector, applies the "Renew" rule to an existing node with the title, builds
    // node, object, shape, mesh and the type's materials, puts the node into the scene
    // under its landscape and reports it. Returns the box's node (the existing one when
    // it is taken over). The box must already hold index i.
    DzNode* BuildObjectNode(int Type, int i, const QString& Title, const MeshFill& fill);

public slots:
    void VerdixScriptInput(int In);
    void InputFromTrekko(float X, float Z);

private slots:
    void blockRefresh();
    void unblockRefresh();
    void SceneSaving();
    void SetupSlider(DzIntSlider* Slider, QString Name, int row, int col, int Min, int Max, int DefValue);
    void SetupSliderInt(DzIntSlider* Slider, QString Name, int row, int col, int Min, int Max, int DefValue);
    void InitTextureFolder();
    QString LoadQSFile(QString input);
    QString LoadGround(QString input);
    QString LoadRiver(QString input);
    QString LoadHill(QString input);
    QString LoadFlat(QString input);
    QString LoadPath(QString input);
    QString LoadUser(QString input);
    QString LoadTree(QString input);
    void WarnMissingFolder(QString input);
    void SetSpecularCol(DzMaterial* mat, double val);
    void SetGlossiness(DzMaterial* mat, double val);
    QString GetTypeLable(int Type, int i);
    int FindLandScapeIndex(QString Text);
    void createModel();

private:
    friend class VerdixPaneTestAccess;

    QPushButton* makeToolButton(const QString& icon, const QString& tip, int maxW, int maxH);
    void setStatus(const QString& text);
    QString loadAssetFile(int folder, const QString& input);
    // Sets a slider up the way every slider of the pane is: range, value, label.
    void setupSliderCommon(DzIntSlider* s, const QString& name, int min, int max, int value);

    // Pane state.
    ControlBoxTable m_boxes;
    int m_selectedBox = 0;
    int m_workerCount = 2;
    bool m_loading = false;
    int m_timerInterval = 30;
    float m_phase = 1.0f;
    int m_frame = 0;
    float m_gravity = 6.0f;
    QTimer* m_timer = nullptr;
    QPointer<VerdixSceneModel> m_model;

    // Script input waiting for the controller bridge.
    QMutex m_bridgeLock;
    int m_lastScriptInput = 0;
    int m_scriptInputs = 0;
    // Companion-pane requests waiting for the height query.
    float m_trekkoX = 0.f, m_trekkoZ = 0.f;
    int m_trekkoRequests = 0;

    // Widgets.
    QVBoxLayout* m_mainLayout = nullptr;
    QScrollArea* m_scroll = nullptr;
    QWidget* m_area = nullptr;
    QVBoxLayout* m_boxColumn = nullptr;

    QPushButton* m_deleteAllButton = nullptr;
    QPushButton* m_korgButton = nullptr;
    QPushButton* m_saveAllButton = nullptr;
    QPushButton* m_openAllButton = nullptr;
    QPushButton* m_externalButton = nullptr;

    QPushButton* m_createLandscape = nullptr;
    QPushButton* m_createRock = nullptr;
    QPushButton* m_createStones = nullptr;
    QPushButton* m_createBush = nullptr;
    QPushButton* m_createIvy = nullptr;
    QPushButton* m_createGrass = nullptr;
    QPushButton* m_createTree = nullptr;
    QPushButton* m_createWeed = nullptr;
    QPushButton* m_createFlower = nullptr;
    QPushButton* m_createMushroom = nullptr;
    QPushButton* m_createCrystals = nullptr;
    QPushButton* m_createBillboard = nullptr;
    QGridLayout* m_createGrid = nullptr;

    QProgressBar* m_progress = nullptr;
    QGridLayout* m_settingsGrid = nullptr;
    DzIntSlider* m_gravitySlider = nullptr;
    DzIntSlider* m_frictionSlider = nullptr;
    DzIntSlider* m_windStrengthSlider = nullptr;
    DzIntSlider* m_windSpeedSlider = nullptr;
    DzIntSlider* m_windSpeed2Slider = nullptr;

    QFrame* m_previewFrame = nullptr;
    QLabel* m_previewLabel = nullptr;

    QComboBox* m_landscapeSelector = nullptr;
    QPushButton* m_swapButton = nullptr;
    QPushButton* m_refreshButton = nullptr;
    DzIntSlider* m_timerSlider = nullptr;
    QPushButton* m_playButton = nullptr;
    QCheckBox* m_animateCheck = nullptr;
    QPushButton* m_viewWindowButton = nullptr;

    QCheckBox* m_autoOffCheck = nullptr;
    QCheckBox* m_mergeCheck = nullptr;
    QCheckBox* m_lowLodCheck = nullptr;
    QCheckBox* m_renewCheck = nullptr;
    QLabel* m_statusLabel = nullptr;
};

// Process-wide flags shared with background tasks and other subsystems.
namespace VerdixFlags {
extern std::atomic<bool> refreshBlocked;
extern std::atomic<bool> deleteAllArmed;
}
