#include "pane/verdixpane.h"
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QMutexLocker>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <dzapp.h>
#include <dzintslider.h>
#include <dzscene.h>
#include "persistence/verdixscenemodel.h"
#include "pane/wheelguard.h"
#include "undo/panehistory.h"

namespace VerdixFlags {
std::atomic<bool> refreshBlocked{false};
std::atomic<bool> deleteAllArmed{false};
std::atomic<bool> progress{true};
}  // namespace VerdixFlags

ZPK_VerdixPane::ZPK_VerdixPane() : DzPane("Verdix")
{
    // Pane state.
    m_workerCount = qBound(2, QThread::idealThreadCount(), 64);
    m_loading = false;
    VerdixFlags::refreshBlocked = false;
    VerdixFlags::deleteAllArmed = false;
    m_timerInterval = 30;
    m_phase = 1.0f;

    // Main layout and the scrolling box column.
    m_mainLayout = new QVBoxLayout(this);
    m_mainLayout->setContentsMargins(1, 1, 1, 1);
    m_mainLayout->setSpacing(1);
    m_scroll = new QScrollArea(this);
    m_scroll->setWidgetResizable(true);
    m_area = new QWidget;
    m_area->setObjectName("VerdixArea");
    m_boxColumn = new QVBoxLayout(m_area);
    m_boxColumn->setSpacing(1);
    m_boxColumn->setAlignment(Qt::AlignTop);
    m_scroll->setWidget(m_area);
    new WheelGuard(m_scroll);

    // Toolbar buttons; the icons come from the asset folders, so find them first.
    InitTextureFolder();
    m_deleteAllButton = makeToolButton("DeleteAll.png", "Delete all", 25, 25);
    m_korgButton = makeToolButton("KorgNanoKontrol2.png", "Connect Korg nanoKONTROL2 with this plugin", 32, 25);
    m_saveAllButton = makeToolButton("save.png", "Save all", 32, 25);
    m_openAllButton = makeToolButton("open.png", "Open all", 32, 25);
    m_externalButton = makeToolButton("signpost.png", "Put on landscape, external object.", 32, 25);

    // Create buttons: six shown in one row, the others exist for scripts only.
    auto createButton = [this](const char* icon, const char* tip, bool wide) {
        auto* b = new QPushButton(this);
        b->setIcon(QIcon(LoadQSFile(icon)));
        b->setIconSize(wide ? QSize(128, 64) : QSize(64, 64));
        b->setMaximumHeight(66);
        b->setToolTip(tip);
        return b;
    };
    m_createLandscape = createButton("GrowLand.png", "Create landscape control box", true);
    m_createRock = createButton("Help.png", "Create rocks control box", false);
    m_createStones = createButton("GrowStones.png", "Create stones control box", false);
    m_createBush = createButton("Help.png", "Create bush control box", false);
    m_createIvy = createButton("Help.png", "Create ivy control box", false);
    m_createGrass = createButton("GrowGrass.png", "Create grass control box", false);
    m_createTree = createButton("GrowTree.png", "Create tree control box", false);
    m_createWeed = createButton("Help.png", "Create weed control box", false);
    m_createFlower = createButton("GrowFlower.png", "Create flower control box", false);
    m_createMushroom = createButton("Help.png", "Create mushroom control box", false);
    m_createCrystals = createButton("Help.png", "Create crystals control box", false);
    m_createBillboard = createButton("GrowBillboard.png", "Create billboard control box", false);
    auto* createFrame = new QFrame(this);
    m_createGrid = new QGridLayout(createFrame);
    m_createGrid->setContentsMargins(1, 1, 1, 1);
    m_createGrid->setSpacing(1);
    m_createGrid->addWidget(m_createLandscape, 0, 0);
    m_createGrid->addWidget(m_createStones, 0, 1);
    m_createGrid->addWidget(m_createGrass, 0, 2);
    m_createGrid->addWidget(m_createTree, 0, 3);
    m_createGrid->addWidget(m_createFlower, 0, 4);
    m_createGrid->addWidget(m_createBillboard, 0, 5);
    for (QPushButton* hidden :
         {m_createRock, m_createBush, m_createIvy, m_createWeed, m_createMushroom, m_createCrystals})
        hidden->hide();
    // A button whose generator is not in this build says so rather than doing nothing; it
    // comes alive by itself in a build whose pane has the generator's slots.
    const std::pair<QPushButton*, int> generated[] = {
        {m_createLandscape, TypeLandscape}, {m_createStones, TypeStones}, {m_createGrass, TypeGrass},
        {m_createTree, TypeTree},           {m_createFlower, TypeFlower}, {m_createBillboard, TypeBillboard}};
    for (const auto& g : generated) {
        if (generatorWired(g.second)) continue;
        g.first->setEnabled(false);
        g.first->setToolTip(g.first->toolTip() + " (not available yet: this generator is not built)");
    }

    // Progress bar, landscape row, "Timer" slider and check boxes.
    m_progress = new QProgressBar(this);
    m_progress->setRange(0, 30);
    m_progress->setMaximumHeight(7);
    m_progress->setTextVisible(false);
    m_progress->setValue(0);

    m_landscapeSelector = new QComboBox(this);
    // Wide enough for a landscape's whole title.
    m_landscapeSelector->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    m_landscapeSelector->setMinimumContentsLength(20);
    m_landscapeSelector->setToolTip("Put object on this landscape when swap button is pressed");
    m_swapButton = makeToolButton("Swap.png", "Swap landscape", 45, 32);
    m_refreshButton =
        makeToolButton("refreshBig.png", "Refresh all landscapes and objects. Use after swapping!", 45, 32);
    m_timerSlider = new DzIntSlider(this);
    m_timerSlider->setLabel("Timer");
    m_timerSlider->showLabel(true);
    m_timerSlider->setRange(15, 1000);
    m_timerSlider->setClamped(true);
    m_timerSlider->setValue(m_timerInterval);
    m_timerSlider->setDisplayAsPercent(false);
    m_timerSlider->setTextEditable(true);
    m_timerSlider->setMaximumWidth(120);
    m_playButton = makeToolButton("Play.png", "Play cells", 45, 32);
    m_animateCheck = new QCheckBox("Animate", this);
    m_animateCheck->setToolTip("Animate when the time line moves");
    m_animateCheck->setChecked(true);
    // The narrow widths the row was laid out for cut the labels off in larger fonts.
    m_animateCheck->setMaximumWidth(qMax(60, m_animateCheck->sizeHint().width()));
    m_viewWindowButton = makeToolButton("window.png", "Show/Hide view window", 45, 32);

    auto checkBox = [this](const char* text, const char* tip, int maxW) {
        auto* c = new QCheckBox(text, this);
        c->setToolTip(tip);
        c->setChecked(false);
        c->setMaximumWidth(qMax(maxW, c->sizeHint().width()));
        c->setMinimumWidth(c->sizeHint().width());
        return c;
    };
    m_autoOffCheck = checkBox("AutoOff", "When ticked, object update will be off when landscape changes", 68);
    m_mergeCheck = checkBox("Merge", "Allow merging to scene.", 60);
    m_lowLodCheck = checkBox("LowLOD", "Switch to a low Level of detail mode", 68);
    m_renewCheck = checkBox("Renew", "When a scene is opened, recreate the objects", 60);
    m_statusLabel = new QLabel(this);
    m_statusLabel->setObjectName("VerdixStatusLabel");
    // Long messages are cut at the pane's edge instead of widening the pane.
    m_statusLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

    // Pane-wide sliders.
    auto* settingsFrame = new QFrame(this);
    m_settingsGrid = new QGridLayout(settingsFrame);
    m_settingsGrid->setContentsMargins(1, 1, 1, 1);
    m_settingsGrid->setSpacing(1);
    m_settingsGrid->addWidget(m_progress, 0, 0, 1, 5);
    m_gravitySlider = new DzIntSlider(settingsFrame);
    m_frictionSlider = new DzIntSlider(settingsFrame);
    m_windStrengthSlider = new DzIntSlider(settingsFrame);
    m_windSpeedSlider = new DzIntSlider(settingsFrame);
    m_windSpeed2Slider = new DzIntSlider(settingsFrame);
    SetupSliderInt(m_gravitySlider, "Gravity", 1, 0, 1, 20, 6);
    SetupSliderInt(m_frictionSlider, "Friction", 1, 1, 0, 200, 0);
    SetupSliderInt(m_windStrengthSlider, "Wind Strength 1", 1, 2, 0, 200, 100);
    SetupSliderInt(m_windSpeedSlider, "Wind Speed", 1, 3, 0, 200, 100);
    SetupSliderInt(m_windSpeed2Slider, "Wind Speed2", 1, 4, 0, 200, 0);
    m_windSpeed2Slider->setToolTip("Set this to 0 & timeline to 38 frames for global seamless animation!");

    // Preview, then the rows from top to bottom.
    m_previewFrame = new QFrame(this);
    m_previewFrame->setAutoFillBackground(true);
    QPalette black = m_previewFrame->palette();
    black.setColor(QPalette::Window, Qt::black);
    m_previewFrame->setPalette(black);
    auto* previewLayout = new QHBoxLayout(m_previewFrame);
    previewLayout->setContentsMargins(1, 1, 1, 1);
    m_previewLabel = new QLabel(m_previewFrame);
    m_previewLabel->setFixedSize(256, 256);
    m_previewLabel->setScaledContents(true);
    previewLayout->addWidget(m_previewLabel, 0, Qt::AlignCenter);

    auto* landscapeFrame = new QFrame(this);
    auto* landscapeRow = new QGridLayout(landscapeFrame);
    landscapeRow->setContentsMargins(1, 1, 1, 1);
    landscapeRow->setSpacing(1);
    landscapeRow->addWidget(m_landscapeSelector, 0, 0);
    landscapeRow->addWidget(m_swapButton, 0, 1);
    landscapeRow->addWidget(m_refreshButton, 0, 2);
    landscapeRow->addWidget(m_timerSlider, 0, 3);
    landscapeRow->addWidget(m_playButton, 0, 4);
    landscapeRow->addWidget(m_animateCheck, 0, 5);
    landscapeRow->addWidget(m_viewWindowButton, 0, 6);

    auto* toolFrame = new QFrame(this);
    auto* toolbar = new QHBoxLayout(toolFrame);
    toolbar->setContentsMargins(1, 1, 1, 1);
    toolbar->setSpacing(1);
    for (QWidget* w :
         std::initializer_list<QWidget*>{m_deleteAllButton, m_saveAllButton, m_openAllButton, m_korgButton,
                                         m_externalButton, m_autoOffCheck, m_mergeCheck, m_lowLodCheck, m_renewCheck})
        toolbar->addWidget(w);
    toolbar->addSpacing(6);
    toolbar->addWidget(m_statusLabel, 1);

    m_mainLayout->addWidget(createFrame);
    m_mainLayout->addWidget(settingsFrame);
    m_mainLayout->addWidget(m_previewFrame);
    m_mainLayout->addWidget(landscapeFrame);
    m_mainLayout->addWidget(toolFrame);
    m_mainLayout->addWidget(m_scroll, 1);
    setMinimumSize(200, 150);

    // Connections, in this order. A slot that is not built yet stays unconnected.
    struct Link
    {
        QObject* sender;
        const char* signal;
        const char* slot;
    };
    const Link links[] = {
        {m_deleteAllButton, "clicked()", "on_DeleteAllButton_pressed()"},
        {m_korgButton, "clicked()", "OutputToKorg()"},
        {m_saveAllButton, "clicked()", "SaveScene()"},
        {m_openAllButton, "clicked()", "OpenScene()"},
        {m_refreshButton, "clicked()", "RefreshAllLandscape()"},
        {m_externalButton, "clicked()", "PutOnLandscape()"},
        // Bush, ivy and mushroom stay unconnected.
        {m_createLandscape, "clicked()", "Button_CreateLandscape()"},
        {m_createRock, "clicked()", "Button_CreateRock()"},
        {m_createStones, "clicked()", "Button_CreateStones()"},
        {m_createGrass, "clicked()", "Button_CreateGrass()"},
        {m_createTree, "clicked()", "Button_CreateTree()"},
        {m_createWeed, "clicked()", "Button_CreateWeed()"},
        {m_createFlower, "clicked()", "Button_CreateFlower()"},
        {m_createCrystals, "clicked()", "Button_CreateCrystals()"},
        {m_createBillboard, "clicked()", "Button_CreateBillboard()"},
        {m_gravitySlider, "valueChanged(int)", "GravityChanged(int)"},
        {m_swapButton, "clicked()", "SwapLandscape()"},
        {m_playButton, "clicked()", "Animation_Play()"},
        {m_viewWindowButton, "clicked()", "WindowVeiwShowHide()"},
        {m_timerSlider, "valueChanged(int)", "SetupTimer(int)"},
        {m_lowLodCheck, "clicked()", "LowLODMode()"},
        {dzScene, "sceneLoadStarting()", "Animation_Stop()"},
        {dzScene, "sceneClearStarting()", "Animation_Stop()"},
        {dzScene, "sceneLoaded()", "SceneLoadOrSave()"},
        {dzScene, "playbackStarted()", "Animation_Stop()"},
        {dzScene, "primarySelectionChanged(DzNode*)", "refreshSelected(DzNode*)"},
        {dzScene, "timeChanged(DzTime)", "UpdateFrame(DzTime)"},
        {dzScene, "aboutToRender(DzRenderer*)", "RenderStart(DzRenderer*)"},
        {dzApp, "closing()", "Asm_ClosePane()"},
    };
    for (const Link& l : links) connectToSlot(l.sender, l.signal, l.slot);

    // The pane's background tasks need the host's worker threads.
    if (dzApp && !dzApp->isMultiThreadingEnabled()) dzApp->enableMultiThreading(true);

    // The animation timer; only play starts it.
    m_timer = new QTimer(this);
    m_timer->setInterval(m_timerInterval);
    connectToSlot(m_timer, "timeout()", "Animation_Draw()");
    m_batchRunner.reset(new VerdixPoolRunner);

    // Every scene carries the pane's data element from the start.
    if (dzScene) {
        connect(dzScene, &DzScene::sceneLoadStarting, this, [this]() { m_hostLoading = true; });
        connect(dzScene, &DzScene::sceneLoaded, this, [this]() { m_hostLoading = false; });
        connect(dzScene, &DzScene::sceneCleared, this, [this]() { dropBoxesOfClearedScene(); });
        connect(dzScene, SIGNAL(sceneCleared()), this, SLOT(createModel()));
    }
    createModel();
    // Last: it watches the scene's signals after the pane's own handlers.
    m_history = new VerdixHistory(this);
}

ZPK_VerdixPane::~ZPK_VerdixPane()
{
    for (int i = 0; i < m_boxes.count(); ++i) m_boxes[i].releaseBuffers();
}

QPushButton* ZPK_VerdixPane::makeToolButton(const QString& icon, const QString& tip, int maxW, int maxH)
{
    auto* b = new QPushButton(this);
    b->setIcon(QIcon(LoadQSFile(icon)));
    b->setToolTip(tip);
    b->setMaximumSize(maxW, maxH);
    return b;
}

void ZPK_VerdixPane::setStatus(const QString& text)
{
    if (!m_statusLabel) return;
    m_statusLabel->setText(text);
    // The label is cut at the pane's edge; the whole message stays a hover away.
    m_statusLabel->setToolTip(text);
}

void ZPK_VerdixPane::blockRefresh() { VerdixFlags::refreshBlocked = true; }
void ZPK_VerdixPane::unblockRefresh() { VerdixFlags::refreshBlocked = false; }
void ZPK_VerdixPane::SceneSaving() { VerdixFlags::refreshBlocked = true; }

void ZPK_VerdixPane::setupSliderCommon(DzIntSlider* s, const QString& name, int min, int max, int value)
{
    s->setRange(min, max);
    s->setSensitivity(1);
    s->setClamped(true);
    s->setValue(value);
    s->setLabel(name);
    s->showLabel(true);
    s->setTextEditable(true);
}

void ZPK_VerdixPane::SetupSlider(DzIntSlider* Slider, QString Name, int row, int col, int Min, int Max, int DefValue)
{
    if (!Slider) return;
    setupSliderCommon(Slider, Name, Min, Max, DefValue);
    Slider->setDisplayAsPercent(true);
    if (m_settingsGrid) m_settingsGrid->addWidget(Slider, row, col);
}

void ZPK_VerdixPane::SetupSliderInt(DzIntSlider* Slider, QString Name, int row, int col, int Min, int Max, int DefValue)
{
    if (!Slider) return;
    setupSliderCommon(Slider, Name, Min, Max, DefValue);
    Slider->setDisplayAsPercent(false);
    if (m_settingsGrid) m_settingsGrid->addWidget(Slider, row, col);
}

QString ZPK_VerdixPane::GetTypeLable(int Type, int i) { return typeLabel(Type, i); }

int ZPK_VerdixPane::FindLandScapeIndex(QString Text)
{
    if (Text.isEmpty()) return 0;
    for (int i = 0; i < m_boxes.count(); ++i) {
        const ControlBox& b = m_boxes[i];
        if (b.type == TypeLandscape && b.titleLabel && b.titleLabel->text() == Text) return i;
    }
    return 0;
}

void ZPK_VerdixPane::dropBoxesOfClearedScene()
{
    // A load rebuilds the boxes from the scene it reads.
    if (m_hostLoading) return;
    for (int n = m_boxes.count(); n > 0; --n) ControlBox_DeleteControl(true, false);
    m_landscapeSelector->clear();
    m_previewLabel->clear();
    m_selectedBox = 0;
    m_lastLoadedScene.clear();
    setStatus(QString());
}

void ZPK_VerdixPane::createModel()
{
    if (!dzScene) return;
    auto* model = new VerdixSceneModel;
    dzScene->addDataItem(model);
    m_model = model;
}
