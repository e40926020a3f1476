// Building a control box: the common header, then the type's sections, sliders, combo
// boxes and buttons as the slider-set tables lay them out.
#include <QFileInfo>
#include <QComboBox>
#include <QFuture>
#include <QtConcurrent/QtConcurrentRun>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <dzintslider.h>
#include "pane/slidersets.h"
#include "pane/verdixpane.h"
#include "undo/panehistory.h"
#include "landscape/heightmaps.h"
#include "animation/taskring.h"
#include "plugin/assetfolders.h"

bool ZPK_VerdixPane::hasSlot(const char* signature) const
{
    return signature && metaObject()->indexOfSlot(QMetaObject::normalizedSignature(signature).constData()) >= 0;
}

bool ZPK_VerdixPane::connectToSlot(QObject* sender, const char* signal, const char* slot)
{
    if (!sender || !hasSlot(slot)) return false;
    const QByteArray sig = "2" + QMetaObject::normalizedSignature(signal);
    const QByteArray target = "1" + QMetaObject::normalizedSignature(slot);
    return connect(sender, sig.constData(), this, target.constData());
}

bool ZPK_VerdixPane::invokeIfPresent(const char* name)
{
    const QByteArray sig = QByteArray(name) + "()";
    if (!hasSlot(sig.constData())) return false;
    return QMetaObject::invokeMethod(this, name, Qt::DirectConnection);
}

// ---- Slider set-up -----------------------------------------------------------------------

void ZPK_VerdixPane::setupBoxSlider(const char* slot, DzIntSlider* s, const QString& name, int min, int max, int value)
{
    if (!s) return;
    s->setRange(min, max);
    s->setSensitivity(1);
    s->setValue(value);
    s->setClamped(true);
    s->setLabel(name);
    s->showLabel(true);
    s->setDisplayAsPercent(false);
    s->setTextEditable(true);
    // Connected last, so that setting the slider up triggers no update.
    connectToSlot(s, "valueChanged(int)", slot);
}

void ZPK_VerdixPane::SliderNewLandscape(DzIntSlider* Slider, QString Name, int Min, int Max, int Value)
{
    setupBoxSlider("SliderMoveLandScape(int)", Slider, Name, Min, Max, Value);
}
void ZPK_VerdixPane::SliderNewTree(DzIntSlider* Slider, QString Name, int Min, int Max, int Value)
{
    setupBoxSlider("SliderUpdateTree(int)", Slider, Name, Min, Max, Value);
}
void ZPK_VerdixPane::SliderNewStone(DzIntSlider* Slider, QString Name, int Min, int Max, int Value)
{
    setupBoxSlider("SliderUpdateStones(int)", Slider, Name, Min, Max, Value);
}
void ZPK_VerdixPane::SliderNewFlower(DzIntSlider* Slider, QString Name, int Min, int Max, int Value)
{
    setupBoxSlider("SliderUpdateFlower(int)", Slider, Name, Min, Max, Value);
}
void ZPK_VerdixPane::SliderNewGrass(DzIntSlider* Slider, QString Name, int Min, int Max, int Value)
{
    setupBoxSlider("SliderUpdateGrass(int)", Slider, Name, Min, Max, Value);
}
void ZPK_VerdixPane::SliderNewBB(DzIntSlider* Slider, QString Name, int Min, int Max, int Value)
{
    setupBoxSlider("SliderUpdateBillboard(int)", Slider, Name, Min, Max, Value);
}

// ---- The box -----------------------------------------------------------------------------

namespace {

QPushButton* flatButton(QWidget* parent, const QString& iconPath)
{
    auto* b = new QPushButton(parent);
    if (!iconPath.isEmpty()) b->setIcon(QIcon(iconPath));
    b->setFlat(true);
    return b;
}

QString comboFolder(const char* key)
{
    return key ? QString("%1/%2").arg(VerdixAssets::textureRoot(), QString::fromLatin1(key)) : QString();
}

}  // namespace

void ZPK_VerdixPane::Network_AddControlBox(QString ImageFileName, QString ControlTitle, int ControlBoxType)
{
    // At most 129 boxes; a refused box leaves no trace.
    const int i = m_boxes.count();
    if (i > kMaxControlBoxes - 1) return;
    // A new box disarms "delete all".
    VerdixFlags::deleteAllArmed = false;
    m_boxes.append(ControlBoxType);
    ControlBox& box = m_boxes[i];
    const QString iconPath = LoadQSFile(ImageFileName);
    if (!iconPath.isEmpty()) box.icon = QImage(iconPath);

    // Header widgets.
    using W = verdix::CommonBoxWidgets;
    box.groupBox = new QGroupBox(ControlTitle, m_area);
    // As tall as its open sections need, never less than the header's 50 pixels: an
    // explicit minimum height would let the column squeeze the sections over each other
    // instead of scrolling.
    box.groupBox->setMaximumHeight(W::groupMaxHeight);
    box.groupBox->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    box.groupBox->setFlat(true);
    box.groupBox->setAutoFillBackground(true);
    QPalette pal = box.groupBox->palette();
    pal.setColor(QPalette::WindowText, Qt::white);
    box.groupBox->setPalette(pal);
    box.grid = new QGridLayout(box.groupBox);
    box.grid->setContentsMargins(1, 1, 1, 1);
    box.grid->setSpacing(1);

    box.titleLabel = new QLabel(ControlTitle, box.groupBox);
    box.deleteButton = flatButton(box.groupBox, LoadQSFile(W::deleteIcon));
    box.deleteButton->setMaximumSize(W::deleteMaxSize, W::deleteMaxSize);
    box.deleteButton->setToolTip(W::deleteTooltip);
    box.showHideButton = flatButton(box.groupBox, LoadQSFile(W::showHideIcon));
    box.showHideButton->setToolTip(W::showHideTooltip);
    box.saveMapButton = flatButton(box.groupBox, LoadQSFile(W::saveMapIcon));
    box.saveMapButton->setStyleSheet(W::buttonStyle);
    box.saveMapButton->setEnabled(true);
    box.saveMapButton->hide();  // placed by the landscape only
    box.imageButton = flatButton(box.groupBox, iconPath);
    box.imageButton->setStyleSheet(W::buttonStyle);
    box.imageButton->setMaximumSize(W::imageMaxSize, W::imageMaxSize);
    box.imageButton->setIconSize(QSize(W::imageIconSize, W::imageIconSize));
    box.imageButton->setEnabled(true);
    box.builderCount = 0;

    // The sliders and sections of the box's type.
    buildTypePart(i);

    m_boxColumn->addWidget(box.groupBox);
    m_selectedBox = i;

    const verdix::TypeLayout& layout = verdix::layoutFor(ControlBoxType);
    connectToSlot(box.imageButton, "pressed()", W::imageSlot);
    connectToSlot(box.deleteButton, "pressed()", W::deleteSlot);
    if (layout.showHide) connectToSlot(box.showHideButton, "pressed()", W::showHideSlot);

    ColourBox();
}

void ZPK_VerdixPane::buildTypePart(int i)
{
    ControlBox& box = m_boxes[i];
    const int type = box.type;
    const verdix::TypeLayout& layout = verdix::layoutFor(type);
    using W = verdix::CommonBoxWidgets;
    QGridLayout* grid = box.grid;
    const bool ownGrid = layout.sections.isEmpty() && !layout.sliders.isEmpty();  // the rock

    // Sections: hidden until the show/hide button opens them.
    QVector<QGridLayout*> sectionGrids;
    for (const verdix::SectionDef& sec : layout.sections) {
        auto* g = new QGroupBox(QString::fromLatin1(sec.title), box.groupBox);
        auto* gl = new QGridLayout(g);
        gl->setContentsMargins(1, 1, 1, 1);
        gl->setSpacing(1);
        g->hide();
        box.sections.push_back(g);
        sectionGrids.append(gl);
    }

    // Header row: the image button, the type's header widgets, the title and the buttons.
    QGroupBox* headerGroup = nullptr;
    QHBoxLayout* headerGroupLayout = nullptr;
    if (layout.headerGroup) {
        headerGroup = new QGroupBox(box.groupBox);
        // Style sheets drop the palette: keep the header's labels readable on the dark box.
        headerGroup->setStyleSheet(QString("QGroupBox { %1 } QLabel { color: white }").arg(W::buttonGroupStyle));
        headerGroupLayout = new QHBoxLayout(headerGroup);
        headerGroupLayout->setContentsMargins(0, 0, 0, 0);
        headerGroupLayout->setSpacing(1);
    }
    grid->addWidget(box.imageButton, 0, 0);
    int headerCols = 0;
    // A section wider than three columns (the landscape's six map slots) is laid out in
    // bands of three, one under the other, so that a box is no wider than the pane.
    constexpr int kBandColumns = 3;
    QVector<int> sectionRows(sectionGrids.size(), 0);
    auto claimRow = [&](const verdix::GridPlace& p) {
        if (p.section >= 0 && p.section < sectionRows.size())
            sectionRows[p.section] = qMax(sectionRows[p.section], p.row + 1);
    };
    for (const verdix::SliderDef& d : layout.sliders) claimRow(d.place);
    for (const verdix::ComboDef& d : layout.combos) claimRow(d.place);
    for (const verdix::ButtonDef& d : layout.buttons) claimRow(d.place);
    auto place = [&](QWidget* w, const verdix::GridPlace& p) {
        if (p.section >= 0 && p.section < sectionGrids.size()) {
            const int band = p.col / kBandColumns;
            sectionGrids[p.section]->addWidget(w, p.row + band * sectionRows[p.section], p.col % kBandColumns);
        } else if (ownGrid) {
            grid->addWidget(w, p.row, p.col);
        } else if (headerGroupLayout) {
            headerGroupLayout->insertWidget(qMin(p.col, headerGroupLayout->count()), w);
            headerCols = 1;
        } else {
            grid->addWidget(w, 0, p.col + 1);
            headerCols = qMax(headerCols, p.col + 1);
        }
    };

    // Sliders in creation order; the box keeps them in that order.
    box.sliders.assign(size_t(layout.sliders.size()), nullptr);
    for (int k = 0; k < layout.sliders.size(); ++k) {
        const verdix::SliderDef& d = layout.sliders[k];
        auto* s = new DzIntSlider(box.groupBox);
        box.sliders[size_t(k)] = s;
        const QByteArray setup =
            QByteArray(layout.sliderSetup ? layout.sliderSetup : "") + "(DzIntSlider*,QString,int,int,int)";
        if (hasSlot(setup.constData()))
            QMetaObject::invokeMethod(this, layout.sliderSetup, Qt::DirectConnection, Q_ARG(DzIntSlider*, s),
                                      Q_ARG(QString, QString::fromLatin1(d.name)), Q_ARG(int, d.min), Q_ARG(int, d.max),
                                      Q_ARG(int, d.def));
        if (d.percent) s->setDisplayAsPercent(true);
        if (d.tooltip) s->setToolTip(QString::fromLatin1(d.tooltip));
        place(s, d.place);
    }
    if (headerGroup) {
        grid->addWidget(headerGroup, 0, 1);
        headerCols = 1;
    }

    // Combo boxes: placeholder first, then the folder's files.
    for (const verdix::ComboDef& d : layout.combos) {
        auto* c = new QComboBox(box.groupBox);
        c->addItem(QString::fromLatin1(d.placeholder));
        c->addItems(verdix::listComboFiles(comboFolder(d.folderKey), d.filter));
        if (d.editable) c->setEditable(true);
        // Sized by a short name rather than the longest file, so a box fits the pane.
        c->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        c->setMinimumContentsLength(10);
        box.setCombo(d.letter, c);
        place(c, d.place);
        if (d.slot) connectToSlot(c, "currentIndexChanged(int)", d.slot);
    }

    // Buttons of the type.
    for (const verdix::ButtonDef& d : layout.buttons) {
        QPushButton* b = nullptr;
        if (d.role == verdix::ButtonDef::SaveMap) {
            b = box.saveMapButton;
            b->show();
        } else {
            b = new QPushButton(box.groupBox);
            if (d.icon) b->setIcon(QIcon(LoadQSFile(QString::fromLatin1(d.icon))));
            if (d.styleSheet) b->setStyleSheet(QString::fromLatin1(d.styleSheet));
        }
        if (d.tooltip) b->setToolTip(QString::fromLatin1(d.tooltip));
        if (d.maxWidth > 0) b->setMaximumWidth(d.maxWidth);
        if (d.role == verdix::ButtonDef::SavePreset) box.savePresetButton = b;
        if (d.role == verdix::ButtonDef::OpenPreset) box.openFileButton = b;
        if (d.role == verdix::ButtonDef::ResetRock) box.resetButton = b;
        place(b, d.place);
        connectToSlot(b, "pressed()", d.slot);
    }

    // The show/hide and delete buttons side by side, last in the header row.
    auto* buttons = new QGroupBox(box.groupBox);
    buttons->setStyleSheet(W::buttonGroupStyle);
    buttons->setFixedSize(W::buttonGroupWidth, W::buttonGroupHeight);
    auto* bl = new QHBoxLayout(buttons);
    bl->setContentsMargins(0, 0, 0, 0);
    bl->setSpacing(1);
    box.showHideButton->setParent(buttons);
    box.deleteButton->setParent(buttons);
    bl->addWidget(box.showHideButton);
    bl->addWidget(box.deleteButton);
    if (ownGrid) {
        grid->addWidget(buttons, 0, 5);
        grid->addWidget(box.titleLabel, 2, 0, 1, -1);
    } else {
        grid->addWidget(box.titleLabel, 0, headerCols + 1);
        grid->addWidget(buttons, 0, headerCols + 2);
    }
    for (int s = 0; s < int(box.sections.size()); ++s) grid->addWidget(box.sections[size_t(s)], 1 + s, 0, 1, -1);
    // The group box shows the title already; the label keeps it for the look-ups by title.
    box.titleLabel->hide();

    // Images a new box starts from: the landscape's height maps, the tree's shape.
    const std::vector<DefaultImage>& images =
        typeInfo(type) ? typeInfo(type)->defaultImages : std::vector<DefaultImage>();
    for (size_t k = 0; k < images.size() && k < box.images.size(); ++k) {
        const QString path = loadAssetFile(int(images[k].folder), QString::fromLatin1(images[k].file));
        const MapImageRead read = readMapImage(path);
        box.images[k] = read.image;
        // A missing file was reported by the path look-up.
        if (read.image.isNull() && QFileInfo(path).isFile()) errorBox(read.error);
    }
}

// ---- Creation by type --------------------------------------------------------------------

namespace {

QByteArray withArgs(const char* name, const char* args) { return QByteArray(name) + args; }

}  // namespace

bool ZPK_VerdixPane::generatorWired(int type) const
{
    const BoxTypeEntry* g = typeInfo(type);
    return g && g->createSlot && g->updateSlot && hasSlot(withArgs(g->createSlot, "()").constData()) &&
           hasSlot(withArgs(g->updateSlot, "(int,bool)").constData());
}

QList<int> ZPK_VerdixPane::wiredGeneratorTypes() const
{
    QList<int> out;
    for (int type = kFirstType; type <= kLastType; ++type)
        if (generatorWired(type)) out << type;
    return out;
}

bool ZPK_VerdixPane::createBoxOfType(int type)
{
    const int before = m_boxes.count();
    const BoxTypeEntry* t = typeInfo(type);
    // A create slot without an update (the rock's: it drops onto the selected landscape)
    // makes its own box, or none without a landscape.
    if (generatorWired(type)) QMetaObject::invokeMethod(this, t->createSlot, Qt::DirectConnection);
    else if (!t || !t->createSlot || t->updateSlot || !invokeIfPresent(t->createSlot)) createWithoutGenerator(type);
    // A box a script makes is a step of its own (inside an opening the opening is the step).
    if (m_history) m_history->commit(true);
    return m_boxes.count() == before + 1;
}

bool ZPK_VerdixPane::updateBox(int i)
{
    const ControlBox* box = m_boxes.at(i);
    if (!box) return false;
    const BoxTypeEntry* g = typeInfo(box->type);
    if (!g || !g->updateSlot) return false;
    if (m_updateOverride[box->type]) {
        m_updateOverride[box->type](i, g->fullUpdate);
        return true;
    }
    if (!generatorWired(box->type)) return false;
    return QMetaObject::invokeMethod(this, g->updateSlot, Qt::DirectConnection, Q_ARG(int, i),
                                     Q_ARG(bool, g->fullUpdate));
}

void ZPK_VerdixPane::createWithoutGenerator(int type)
{
    const BoxTypeEntry* info = typeInfo(type);
    if (!info || !info->titleWord) return;
    const int i = m_boxes.count();
    const QString title = newBoxTitle(type, i);
    Network_AddControlBox(QString::fromLatin1(info->iconFile), title, type);
    if (m_boxes.count() != i + 1) return;
    // Without its generator the box gets no node; objects still stand on the selected
    // landscape, and a landscape is offered to the objects created after it.
    if (type == TypeLandscape) {
        m_landscapeSelector->addItem(title);
        m_landscapeSelector->setCurrentIndex(
            m_landscapeSelector->findText(title, Qt::MatchExactly | Qt::MatchCaseSensitive));
    } else {
        m_boxes[i].landscapeIndex = FindLandScapeIndex(m_landscapeSelector->currentText());
    }
}

void ZPK_VerdixPane::createReservedBox(int type)
{
    const BoxTypeEntry* info = typeInfo(type);
    if (!info) return;
    Network_AddControlBox(QString::fromLatin1(info->iconFile), newBoxTitle(type, m_boxes.count()), type);
}

void ZPK_VerdixPane::Button_CreateBush() { createReservedBox(TypeBush); }
void ZPK_VerdixPane::Button_CreateIvy() { createReservedBox(TypeIvy); }
void ZPK_VerdixPane::Button_CreateWeed() { createReservedBox(TypeWeed); }
void ZPK_VerdixPane::Button_CreateMushroom() { createReservedBox(TypeMushroom); }
void ZPK_VerdixPane::Button_CreateCrystals() { createReservedBox(TypeCrystals); }

// ---- Slider-change routing ---------------------------------------------------------------

void VerdixPoolRunner::runAndWait(const std::vector<std::function<void()>>& tasks)
{
    // The animation's ring: at most one task per processor in flight, a short pause, all awaited.
    runTaskBatch(tasks, 10, taskRingWorkerCount());
}

void ZPK_VerdixPane::setBatchRunner(std::unique_ptr<VerdixBatchRunner> runner)
{
    m_batchRunner = runner ? std::move(runner) : std::unique_ptr<VerdixBatchRunner>(new VerdixPoolRunner);
}

void ZPK_VerdixPane::routeSliderChange(int type)
{
    if (m_loading) return;
    const verdix::TypeLayout& layout = verdix::layoutFor(type);
    for (int i = 0; i < m_boxes.count(); ++i) {
        const ControlBox& box = m_boxes[i];
        if (box.type != type) continue;
        for (int k = 0; k < layout.sliders.size() && size_t(k) < box.sliders.size(); ++k) {
            DzIntSlider* s = box.sliders[size_t(k)];
            if (!layout.sliders[k].focusScanned || !s || !s->hasFocus()) continue;
            updateBox(i);
            saveModelData();
            return;
        }
    }

    // No focus: the value came from a preset, a script or the controller.
    QList<int> targets;
    for (int i = 0; i < m_boxes.count(); ++i)
        if (m_boxes[i].type == type) targets << i;
    if (targets.isEmpty()) return;
    const BoxTypeEntry* g = typeInfo(type);
    if (g && g->backgroundBatch) {
        std::vector<std::function<void()>> tasks;
        for (int i : targets) tasks.push_back([this, i] { updateBox(i); });
        if (!m_batchRunner) m_batchRunner.reset(new VerdixPoolRunner);
        m_batchRunner->runAndWait(tasks);
    } else {
        for (int i : targets) updateBox(i);
    }
    saveModelData();
}
