#pragma once
// The Verdix pane. One class holds every slot because hosts, scripts and the maker's
// other panes reach them by name; the definitions live with their subsystems.
#include <QImage>
#include <QMutex>
#include <QRecursiveMutex>
#include <QPointer>
#include <QString>
#include <QVariantMap>
#include <QList>
#include <dznode.h>
#include <dzpane.h>
#include <atomic>
#include <functional>
#include <memory>
#include "pane/batchrunner.h"
#include "pane/controlbox.h"
#include "terrain/heightquery.h"
#include "animation/objectmapping.h"

class DzFacetMesh;
class DzVertexMesh;
class DzIntSlider;
class DzMaterial;
class DzNode;
class DzRenderer;
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
class VerdixHistory;
struct TreeParams;
class DzNode;

// Byte grids of the height maps.
typedef unsigned char BYTE;

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
    // What every generator's create slot does before its first update: the box with its
    // widgets, then its node, unless a node of the title is kept ("Renew" unchecked: the
    // box then just stands on the selected landscape). Returns the new box's index when a
    // node was built and the box wants its first update, else -1.
    int AddGeneratedBox(int Type, const MeshFill& fill);

    // ---- Generators by type ------------------------------------------------------------
    // Each generated type has a create slot and an update slot, found by name so that a
    // generator is wired as soon as its slots exist. A type whose slots are missing still
    // gets its box and widgets (its sliders then rebuild nothing).
    bool generatorWired(int type) const;
    QList<int> wiredGeneratorTypes() const;
    // Creates one box of type as its create button would; false when no box was added.
    Q_INVOKABLE bool createBoxOfType(int type);
    // Selects box i as its image button does (highlight, preview, its node selected in the
    // scene); false when there is no such box. For scripts and the command line.
    Q_INVOKABLE bool selectBox(int i);
    // Runs the type's update of box i; false when the type has no update wired.
    bool updateBox(int i);
    // Box i's tree shape image from its shape list, when a tree box's snapshot is taken.
    void loadSelectedTreeShape(int i);

    // The slider-change routing every type's slider slot runs: the box whose slider has
    // keyboard focus is updated alone; without focus every box of the type is. A type's
    // SliderUpdate... slot is just routeSliderChange(type): it is connected by name to the
    // type's sliders as soon as it exists, and the update found by name does the work.
    void routeSliderChange(int type);
    // Where all-box updates of the background types run; the pane owns it.
    void setBatchRunner(std::unique_ptr<VerdixBatchRunner> runner);

    // Opens a set document file without any dialog, replacing the pane's boxes. False
    // (with a status message, nothing changed) when the file cannot be read.
    Q_INVOKABLE bool openSetDocument(const QString& path);
    // The set document of the pane's boxes as they stand, for scripts.
    Q_INVOKABLE QString setDocumentText() { return buildSetDocument(); }

    // Writes landscape box ControlBoxIndex's heights by the file's extension (.png 16-bit,
    // .r16/.raw, .dat); false with the reason in the status line. Invokable by name for
    // the command line, yet no slot: the slot list stays the pane's documented one.
    Q_INVOKABLE bool exportHeightMap(int ControlBoxIndex, QString path);
    // Erodes landscape box ControlBoxIndex's final heights (option keys in
    // landscape/erosionpane.cpp), stores them as a ".dat" in the User folder and sets the
    // box's User map and weights so it shows them; false with the reason in the status line.
    Q_INVOKABLE bool erodeLandscape(int ControlBoxIndex, QVariantMap options);
    // The landscape boxes as {"index", "title"} maps, in index order, for the host's menus.
    Q_INVOKABLE QVariantList landscapeBoxes() const;
    // The pane's undo history (undo/); the steps themselves go on the host's stack.
    VerdixHistory* history() const { return m_history; }

    // Height of landscape box ControlBoxIndex at (PosX, PosZ) of its own mesh; 1e-9 outside
    // it, 0 when the box is no landscape or has no terrain. Safe from background tasks: the
    // ground samplers of the generators and the tests ask it; fHeight is the same query.
    float heightAt(int ControlBoxIndex, float PosX, float PosZ, DzVec3* TNormal = nullptr, int* iCache = nullptr,
                   int* jCache = nullptr);
    // The same query with its own result, for callers that need the triangle on any thread.
    HeightAnswer heightAnswer(int ControlBoxIndex, float PosX, float PosZ, DzVec3* TNormal, int* iCache, int* jCache);
    // Set when the last GUI-thread query that found a triangle used the cell's first one.
    bool heightFirstTriangle() const { return m_heightFirstTriangle.load(); }
    // Forgets box i's terrain mesh: a topology build, a delete and a swap call it.
    void clearTerrainMeshCache(int i);
    void clearAllTerrainMeshCaches();

    // ---- The slot list ------------------------------------------------------------------
    // Hosts, scripts and connections by name reach these through the meta-object, so their
    // order, names, parameter names and access are fixed (tests/pane/test_slotlist.cpp holds
    // the list). The folder after each group holds its definitions.

    // Entry points for the scripts of other panes (bridges/).
public slots:
    void VerdixScriptInput(int In);
    void InputFromTrekko(float X, float Z);

private slots:
    void OutputToKorg();   // bridges/
    void Asm_ClosePane();  // animation/
    // Scene gates and box operations (pane/).
    void blockRefresh();
    void unblockRefresh();
    void nodeAboutToRemove(DzNode*);
    void nodeRemoved(DzNode*);
    void RenderStart(DzRenderer*);  // animation/
    // Host-scene storage (persistence/, pane/).
    void SceneLoadOrSave();
    void SceneSaving();
    // Box creation and operations (pane/).
    void setupMaxSpin();
    void Network_AddControlBox(QString ImageFileName, QString ControlTitle, int ControlBoxType);
    void SetupSlider(DzIntSlider* Slider, QString Name, int row, int col, int Min, int Max, int DefValue);
    void SetupSliderInt(DzIntSlider* Slider, QString Name, int row, int col, int Min, int Max, int DefValue);
    void ControlBox_ShowHideButtonPress();
    void ControlBox_DeleteButtonPress();
    void ControlBox_DeleteControl(bool BypassButton, bool ChangeLabel);
    void ControlBox_ImageButtonPress();
    void ColourBox();
    void refreshSelected(DzNode* node);
    void SliderNewLandscape(DzIntSlider* Slider, QString Name, int Min, int Max, int Value);
    void SliderNewTree(DzIntSlider* Slider, QString Name, int Min, int Max, int Value);
    void SliderNewStone(DzIntSlider* Slider, QString Name, int Min, int Max, int Value);
    void SliderNewFlower(DzIntSlider* Slider, QString Name, int Min, int Max, int Value);
    void SliderNewGrass(DzIntSlider* Slider, QString Name, int Min, int Max, int Value);
    void SliderNewBB(DzIntSlider* Slider, QString Name, int Min, int Max, int Value);
    // Animation driver (animation/).
    void Animation_Play();
    void Animation_Stop();
    void Animation_Draw();
    void SetupTimer(int Milsec);
    float lerpA(float v0, float v1, float t);
    float lerpB(float v0, float v1, float t);
    // Asset folders (pane/) and height-map sources (landscape/ uses them).
    void InitTextureFolder();
    QString LoadQSFile(QString input);
    QString LoadGround(QString input);
    QString LoadRiver(QString input);
    QString LoadHill(QString input);
    QString LoadFlat(QString input);
    QString LoadPath(QString input);
    QString LoadUser(QString input);
    QString LoadTree(QString input);
    // Text records and presets (persistence/).
    void ReadSaveControls(int i, int Type, QString HeaderName, QString& Text, bool isPresets);
    void WriteSaveControls(int i, int Type, QString HeaderName, QString& Text);
    void SavePreset(int Index, int Type, QString FolderName, QString HeaderName);
    void OpenPreset(int i, int Type, QString FolderName, QString HeaderName, bool isPreset);
    // Material properties (materials/).
    void processMaterials(DzNode* node, QString matName, QString propName, QString texturePath);
    void processMaterialsDouble(DzNode* node, QString matName, QString propName, double dValue);
    void WarnMissingFolder(QString input);  // pane/
    void GravityChanged(int Gravity);       // animation/
    // Controller bridge (bridges/).
    void KorgSetSlider(DzIntSlider* Slider, int KorgValue);
    void KorgSetSliderNeg(DzIntSlider* Slider, int KorgValue);
    void KorgSetSliderZero(DzIntSlider* Slider);
    void KorgSetSliderDef(DzIntSlider* Slider, int SliderValue);
    // Material defaults of new nodes (pane/).
    void SetSpecularCol(DzMaterial* mat, double val);
    void SetGlossiness(DzMaterial* mat, double val);
    // Animation driver (animation/).
    void WindowVeiwShowHide();
    void LowLODMode();
    void UpdateFrame(DzTime myTime);
    QString GetTypeLable(int Type, int i);  // pane/
    // Placement on landscapes (landscape/).
    void PutOnLandscape();
    void RefreshAllLandscape();
    void SwapLandscape();
    void SwapAllLandscape();
    int FindLandScapeIndex(QString Text);  // pane/
    // Height-map sources, the terrain mesh and the height query (landscape/).
    void ImagetoHeightMap(BYTE* bMem, QImage Image);
    void UpdateLandScape(int SliderIndex, bool UpdateObjects);
    void SliderMoveLandScape(int Input);
    void LoadComboMapImage(int Index);
    void Button_CreateLandscape();
    void Button_AddPolyLandscape(int ControlBoxIndex, DzFacetMesh* mesh);
    void SaveUserHeightMap();
    float fHeight(int ControlBoxIndex, float PosX, float PosZ, DzVec3* TNormal, int* iCache, int* jCache);
    DzVec3 Vec3Cross(const DzVec3* pV1, const DzVec3* pV2);
    void AllObjectsOnLandScape(int SliderIndex);
    void AllObjectsWithNoLandScape();
    void AllObjectsOnLandScapeShow(int SliderIndex);
    // Landscape textures (materials/).
    void LoadTexureLandscape(int i);
    void LoadTexureLandscapeBlend(int i);
    void RedoComboSwapBox();  // landscape/
    // Rocks (objects/).
    void Button_CreateRock();
    void CreateRock();
    void ControlBox_ResetRockPress();
    void RocksOnLandScape(int SliderIndex);
    void Button_CreateGroundHeightPointer();  // landscape/
    // Stones (objects/).
    void Button_CreateStones();
    void Button_AddPolyStones(int ControlBoxIndex, DzFacetMesh* mesh);
    void UpdateStones(int SliderIndex, bool ResetCache);
    void SliderUpdateStones(int ControlBoxIndex);
    void LoadTexureStonesGrass(int i);  // materials/
    void LoadTexureStones(int i);       // materials/
    // Grass (vegetation/).
    void Button_CreateGrass();
    void Button_AddPolyGrass(int ControlBoxIndex, DzFacetMesh* mesh);
    void UpdateGrass(int SliderIndex, bool ResetCache);
    void SliderUpdateGrass(int ControlBoxIndex);
    // Grass and tree textures (materials/).
    void LoadTexureGrass(int i);
    void LoadTexureTreeLeaf(int i);
    void LoadTexureTreeFruit(int i);
    void LoadTexureTreeBark(int i);
    void LoadTexureTreeTrunk(int i);
    // Puts the texture chosen in the focused combo of table ABCD of a box of ObjectType on
    // its material MaterialName; dirText is the combo's folder with its trailing separator.
    void LoadTexureToMaterial(char ABCD, int ObjectType, QString dirText, QString MaterialName);
    void LoadComboMapImageTree(int Input);  // vegetation/
    // Tree presets (persistence/).
    void Button_SaveTreePreset();
    void Button_OpenTreePreset(int input);
    void Button_OpenTreeFile();
    // Trees (vegetation/).
    void Button_CreateTree();
    void Button_AddPolyTree(int ControlBoxIndex, DzFacetMesh* mesh);
    void Button_AnimatePolyTree(int ControlBoxIndex);
    void UpdateTree(int SliderIndex, bool ResetCache);
    void SliderUpdateTree(int ControlBoxIndex);
    void Add_Line(const DzVec3* p1, const DzVec3* p2, float ThickA, float ThickB, DzFacetMesh* mesh, int DrawType);
    // Types with a box but no generator (pane/).
    void Button_CreateBush();
    void Button_CreateIvy();
    void Button_CreateWeed();
    // Flower textures (materials/).
    void LoadTexureFlowerStem(int i);
    void LoadTexureFlowerLeaf(int i);
    void LoadTexureFlowerPetalIn(int i);
    void LoadTexureFlowerPetalOut(int i);
    void LoadTexureFlowerPistil(int i);
    // Flower presets (persistence/).
    void Button_SaveFlowerPreset();
    void Button_OpenFlowerPreset(int input);
    void Button_OpenFlowerFile();
    // Flowers (vegetation/).
    void Button_CreateFlower();
    void Button_AnimateFlower(int ControlBoxIndex, bool ResetCache);
    void Button_AddPolyFlower(int ControlBoxIndex, DzFacetMesh* mesh);
    void SliderUpdateFlower(int ControlBoxIndex);
    void UpdateFlower(int ControlBoxIndex, bool ResetCache);
    // Types with a box but no generator (pane/).
    void Button_CreateMushroom();
    void Button_CreateCrystals();
    // Billboards (animation/).
    void Button_CreateBillboard();
    void Button_AddPolyBillboard(int ControlBoxIndex, DzFacetMesh* mesh);
    void UpdateBillboard(int SliderIndex, bool ResetCache);
    void SliderUpdateBillboard(int ControlBoxIndex);
    void LoadTexureBillboard(int i);    // materials/
    void on_DeleteAllButton_pressed();  // pane/
    // Set documents (persistence/).
    void SaveScene();
    void OpenScene();
    // Object mapping (animation/).
    bool ObjectMapping_Open();
    void ObjectMapping_Close();
    void ObjectMapping_Add(DzNode* Node, DzVec3 XYZ, float Rad, float BoundMax);
    void ObjectMapping_Animation();
    // Host-scene storage (pane/, persistence/).
    void createModel();
    void readModel();
    void saveModelData();
    void openModelData();

private:
    friend class VerdixPaneTestAccess;
    friend class VerdixHistory;

    QPushButton* makeToolButton(const QString& icon, const QString& tip, int maxW, int maxH);
    // A scene emptied by the user (a new scene, not the clearing a load does first) takes the
    // boxes with it: their nodes are gone. No slot: the pane's slot list is fixed.
    void dropBoxesOfClearedScene();
    void setStatus(const QString& text);
    QString loadAssetFile(int folder, const QString& input);
    // Sets a slider up the way every slider of the pane is: range, value, label.
    void setupSliderCommon(DzIntSlider* s, const QString& name, int min, int max, int value);

    // Slots reached by name: present only once their subsystem has been built.
    bool hasSlot(const char* signature) const;
    bool connectToSlot(QObject* sender, const char* signal, const char* slot);
    // Invokes a slot without arguments when the pane has it.
    bool invokeIfPresent(const char* name);
    // Box creation.
    void setupBoxSlider(const char* setupSlot, DzIntSlider* s, const QString& name, int min, int max, int value);
    void buildTypePart(int i);
    void createWithoutGenerator(int type);
    void createReservedBox(int type);
    void rebuildLandscapeSelector();
    // Box operations.
    int findBoxByDownButton(QPushButton* ControlBox::*button) const;
    // Persistence.
    QString buildSetDocument();
    // The opening of a set document; fileOpening allows merging and skips the same-scene
    // check. Returns false when nothing was opened.
    // source names the document in messages (a file name); empty for the stored one.
    bool openDocument(const QString& text, bool fileOpening, const QString& source = QString());
    // Deletes the last box as its delete button would, leaving node labels alone.
    void deleteLastBox();
    bool readTextFile(const QString& path, QString* text, QString* error) const;
    bool writeTextFile(const QString& path, const QString& text, QString* error) const;
    void errorBox(const QString& text);
    int boxWithFocus(int type, QWidget* (*widgetOf)(const ControlBox&)) const;
    void presetButton(int type, bool save, QWidget* (*widgetOf)(const ControlBox&));

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
    // Set while a long operation runs; the animation tick stops the timer on it.
    bool m_busy = false;
    // Set while objects are re-placed through the ring with events handled; a tick then
    // waits for the next timer instead of starting tasks on boxes that are still running.
    bool m_replacing = false;
    // Set while a set document builds its boxes.
    bool m_sceneOpening = false;
    // Dialogs are skipped when a set document is opened from the command line.
    bool m_noDialogs = false;
    // Set while a cancelled opening builds the old boxes again; that cannot be cancelled.
    bool m_restoring = false;
    // The node last selected in the scene that belongs to no box.
    QPointer<DzNode> m_externalObject;
    // The host scene file whose boxes were built last; a second load of it builds nothing.
    QString m_lastLoadedScene;
    // The folder of the document being read (set document, preset, host scene): besides the
    // library, the only place its texture paths may point into.
    QString m_documentFolder;
    bool m_hostLoading = false;
    std::unique_ptr<VerdixBatchRunner> m_batchRunner;
    VerdixHistory* m_history = nullptr;
    // Test hook: replaces a type's update slot.
    std::function<void(int, bool)> m_updateOverride[kLastType + 1];

    // ---- Controller and companion-pane bridges state ----
    // One controller message is applied at a time.
    QMutex m_bridgeLock;
    // Messages that arrived while one was being applied on the same thread (an update that
    // let events through); the running call applies them after its own, in order.
    QList<int> m_bridgePending;
    void applyControllerMessage(int In);

    // ---- Landscape state (sources, mesh) ----
    // Makes the byte grids of box i's loaded map images (at creation).
    void buildHeightMapsFromImages(int i);
    // Reloads one map slot of box i from its combo's current text; false when the whole
    // map loading must end (a User file that cannot be opened).
    bool loadMapSlot(int i, int slot);
    // Relists the User combo of box i from the folder its names are resolved in.
    void refreshUserCombo(int i);
    // The User folder, warning when it is missing.
    QString userFolder();
    // The slider values of box i's last complete update; a cancelled update sets them
    // back (without routing), so the sliders and the saved record match the terrain.
    void rememberAppliedSliders(int i);
    void restoreAppliedSliders(int i);
    // Two landscape updates never run at the same time; a nested one on the same thread
    // (an update reached from inside another) must not dead-lock.
    QRecursiveMutex m_landscapeLock;
    // Bytes of memory the machine has free, -1 when unknown; checked before a new grid.
    std::function<long long()> m_freeMemory = &availableMemoryBytes;
    static long long availableMemoryBytes();

    // ---- Height query and placement state ----
    DzVertexMesh* terrainMeshOf(int i);
    // Re-evaluates the generator-type boxes picked by wanted through the task ring;
    // interactive lets pending events through after each wait for a busy slot.
    void updateObjectsThroughRing(const std::function<bool(int)>& wanted, bool interactive, bool lookFirst);
    // Runs box i's update with its heights recomputed; false when its type has none.
    bool updateWithHeights(int i);
    std::atomic<bool> m_heightFirstTriangle{false};
    // box index x 256 + map slot of the map the preview label shows; -1 when none.
    int m_previewKey = -1;

    // ---- Materials state ----
    // Selects in box i's texture combos the images its materials carry (a record or a host
    // scene put them there), without applying anything again.
    void showTextureChoices(int i);

    // ---- Generator state (pane/generatorpass.cpp) ----
    // The pane-wide inputs of a snapshot: wind sliders, phase, frame, LOD, camera.
    PaneInputs paneInputs() const;
    // Box i's snapshot of its sliders and the pane's inputs; GUI thread.
    void captureBox(int i);
    void captureBox(int i, const PaneInputs& in);
    void captureAllOf(int type);
    // Box i's generator when the box is of type; null otherwise, with "Not a ... object!"
    // in the status line for a box of another type.
    GeneratorBox* generatorFor(int i, int type);
    // Takes a fresh snapshot on the GUI thread; on a worker, whether one was taken.
    bool snapshotReady(int i, const GeneratorBox& g);
    // The mesh of the generator's node; null with the status message.
    DzFacetMesh* generatorMesh(const GeneratorBox& g);
    // Box i's topology pass into mesh, and its update pass into its node's mesh.
    void layGeneratorTopology(int i, int type, DzFacetMesh* mesh);
    void runGeneratorUpdate(int i, int type, bool resetCache);
    void reportPass(const PassReport& r);
    // Status text from any thread: worker threads post it to the GUI thread.
    void reportStatus(const QString& text);
    // An error of a pass, from any thread: the status line and the message box (which fails
    // a batch run), the box shown on the GUI thread.
    void reportError(const QString& text);

    // ---- Billboard state ----
    // World position of the active viewport's camera; the origin when there is none.
    DzVec3 activeCameraPosition() const;

    // ---- Tree state ----
    void captureTreeParams(int i);
    void captureAllTreeParams();
    // The snapshot with the box's shape bytes, for one pass.
    TreeParams treePassParams(int i) const;
    void loadTreeShapeBytes(int i, const QImage& image);
    // Tree rebuilds run one at a time.
    QMutex m_treeLock;

    // ---- Flower state ----
    // Flower updates run one at a time.
    QMutex m_flowerLock;

    // ---- Rock and object mapping state ----
    // The mapped objects of every rock box; stepped by the tick, one step per rock box.
    ObjectMapping m_mapping;
    // ObjectMapping_Add with the registering box, so its reset button finds its records.
    bool addMapped(DzNode* node, const DzVec3& xyz, float rad, float boundMax, QObject* owner);

    // ---- Animation driver state ----
    // The task of box i for one tick; empty when its type does not animate.
    std::function<void()> tickTask(int i);
    // Copies the widget state that passes on worker threads read, for every generator that
    // keeps such a snapshot; every ring built on the GUI thread runs it first.
    void captureWorkerSnapshots();
    void installSnapshotHook();
    bool m_playing = false;
    // Mirrors the "LowLOD" check box; read by worker passes.
    std::atomic<bool> m_lowLOD{false};
    QMutex m_animationLock;
    QMutex m_lodLock;
    // Object-mapping steps share one table: they run one after another.
    QMutex m_mappingLock;
    // Figures of the last tick, for the status line and the tests.
    int m_ticks = 0;
    int m_lastTickUsed = 0;
    int m_lastTickWaiting = 0;

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
// Cleared while a set document is opened; long landscape and plant passes test it.
extern std::atomic<bool> progress;
}  // namespace VerdixFlags
