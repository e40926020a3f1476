// The pane's side of saved work: box records read from and written to the widgets, set
// documents in files and in the host scene, and tree and flower presets.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <dzsafefile.h>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QSet>
#include <dzprogress.h>
#include <QPushButton>
#include <QTextStream>
#include <dzapp.h>
#include <dzdialogs.h>
#include <dzintslider.h>
#include <dznode.h>
#include <dzscene.h>
#include "pane/slidersets.h"
#include "pane/verdixpane.h"
#include "persistence/boxrecord.h"
#include "materials/materialcore.h"
#include "persistence/verdixscenemodel.h"
#include "undo/panehistory.h"
#include "plugin/assetfolders.h"
#include "plugin/readcheck.h"

namespace {

const char* const kFilter = "TXT (*.txt)";

QString rootFolder(const QString& name) { return QString("%1/%2").arg(VerdixAssets::textureRoot(), name); }

DzNode* nodeByLabel(const QString& label)
{
    return dzScene && !label.isEmpty() ? dzScene->findNodeByLabel(label) : nullptr;
}

}  // namespace

// ---- One box -----------------------------------------------------------------------------

void ZPK_VerdixPane::WriteSaveControls(int i, int Type, QString HeaderName, QString& Text)
{
    const ControlBox* box = m_boxes.at(i);
    if (!box) return;
    const verdix::TypeLayout& layout = verdix::layoutFor(Type);
    verdix::BoxSnapshot snap = verdix::defaultSnapshot(Type, HeaderName);
    for (int p = 0; p < snap.sliders.size(); ++p) {
        const int k = layout.sliderAtRecordPosition(p);
        if (box->type == Type && k >= 0 && size_t(k) < box->sliders.size() && box->sliders[size_t(k)])
            snap.sliders[p] = box->sliders[size_t(k)]->getValue();
    }
    for (int c = 0; c < layout.recordCombos.size() && c < snap.combos.size(); ++c) {
        if (box->type != Type) break;
        if (QComboBox* combo = box->combo(layout.combos[layout.recordCombos[c]].letter))
            snap.combos[c] = combo->currentText();
    }
    if (Type == TypeLandscape && box->titleLabel) {
        if (DzNode* node = nodeByLabel(box->titleLabel->text())) {
            snap.hasPosition = true;
            snap.position = node->getWSPos();
        }
    }
    if (box->groupBox) snap.materials = verdix::collectMaterials(nodeByLabel(box->groupBox->title()));
    verdix::appendRecord(snap, Text);
}

void ZPK_VerdixPane::ReadSaveControls(int i, int Type, QString HeaderName, QString& Text, bool isPresets)
{
    ControlBox* box = m_boxes.at(i);
    if (!box || box->type != Type) return;
    const verdix::TypeLayout& layout = verdix::layoutFor(Type);

    verdix::ReadTarget target;
    target.type = Type;
    target.header = HeaderName;
    target.isPresets = isPresets;
    QVector<QComboBox*> combos;
    for (int c : layout.recordCombos) {
        QComboBox* combo = box->combo(layout.combos[c].letter);
        combos << combo;
        QStringList items;
        for (int n = 0; combo && n < combo->count(); ++n) items << combo->itemText(n);
        target.comboItems << items;
    }
    DzNode* node = box->groupBox ? nodeByLabel(box->groupBox->title()) : nullptr;
    DzNode* positionNode = box->titleLabel ? nodeByLabel(box->titleLabel->text()) : nullptr;
    target.hasNode = Type == TypeLandscape ? positionNode != nullptr : node != nullptr;

    const verdix::RecordRead r = verdix::readRecord(Text, target);
    if (!r.message.isEmpty()) setStatus(r.message);
    // A map the record names but the library lacks leaves the terrain without it.
    if (r.status == verdix::ReadStatus::UnknownCombo) errorBox(r.message);
    if (!r.missingFile.isEmpty()) errorBox(r.missingFile);
    if (!r.ok()) return;

    for (int c = 0; c < r.comboIndex.size() && c < combos.size(); ++c) {
        QComboBox* combo = combos[c];
        const int idx = r.comboIndex[c];
        if (!combo || idx < 0 || idx >= combo->count()) continue;
        if (Type == TypeLandscape) {
            // The map loader finds its box by the focused combo.
            combo->setFocus();
            if (combo->currentIndex() != idx) combo->setCurrentIndex(idx);
            else if (hasSlot("LoadComboMapImage(int)"))
                QMetaObject::invokeMethod(this, "LoadComboMapImage", Qt::DirectConnection, Q_ARG(int, idx));
        } else {
            combo->setCurrentIndex(idx);
        }
    }
    // Boxes read into may be deleted by a slot that a slider reaches; look the box up anew.
    for (int p = 0; p < r.sliders.size(); ++p) {
        if (!r.sliderSet[p]) continue;
        box = m_boxes.at(i);
        if (!box || box->type != Type) return;
        const int k = layout.sliderAtRecordPosition(p);
        if (k >= 0 && size_t(k) < box->sliders.size() && box->sliders[size_t(k)])
            box->sliders[size_t(k)]->setValue(r.sliders[p]);
    }
    if (r.hasPosition && positionNode && nodeByLabel(box->titleLabel->text()) == positionNode)
        positionNode->setWSPos(r.position);
    if (r.materialsRead && node && box->groupBox && nodeByLabel(box->groupBox->title()) == node) {
        verdix::MaterialApplier applier = verdix::hostMaterialApplier([this](const QString& m) { setStatus(m); });
        // The material subsystem's own entry points, once they exist.
        if (hasSlot("processMaterials(DzNode*,QString,QString,QString)"))
            applier.path = [this](DzNode* n, const QString& m, const QString& p, const QString& path) {
                QMetaObject::invokeMethod(this, "processMaterials", Qt::DirectConnection, Q_ARG(DzNode*, n),
                                          Q_ARG(QString, m), Q_ARG(QString, p), Q_ARG(QString, path));
            };
        // A document names textures in the library or beside itself, nowhere else: a path out
        // of both would read (and exports would carry) any image of the machine.
        if (applier.path)
            applier.path = [this, inner = applier.path](DzNode* n, const QString& m, const QString& p,
                                                        const QString& path) {
                const QString resolved = verdix::resolveTexturePath(path, VerdixAssets::textureRoot());
                QString why;
                if (!verdix::textureInside(resolved, {VerdixAssets::textureRoot(), m_documentFolder}, &why)) {
                    setStatus("Error: " + why);
                    errorBox(why);
                    return;
                }
                inner(n, m, p, path);
            };
        if (hasSlot("processMaterialsDouble(DzNode*,QString,QString,double)"))
            applier.value = [this](DzNode* n, const QString& m, const QString& p, double v) {
                QMetaObject::invokeMethod(this, "processMaterialsDouble", Qt::DirectConnection, Q_ARG(DzNode*, n),
                                          Q_ARG(QString, m), Q_ARG(QString, p), Q_ARG(double, v));
            };
        verdix::applyMaterials(node, r.materials, applier);
        showTextureChoices(i);
    }
}

// ---- Set documents -----------------------------------------------------------------------

QString ZPK_VerdixPane::buildSetDocument()
{
    QStringList records;
    QVector<int> landscapes;
    for (int i = 0; i < m_boxes.count(); ++i) {
        const int type = m_boxes[i].type;
        landscapes << m_boxes[i].landscapeIndex;
        const QString header = verdix::setRecordHeader(type);
        if (header.isEmpty()) continue;
        QString record;
        WriteSaveControls(i, type, header, record);
        records << record;
    }
    return verdix::joinSetDocument(records, landscapes);
}

void ZPK_VerdixPane::saveModelData()
{
    if (m_loading) return;
    const QString doc = buildSetDocument();
    if (m_model) m_model->setCoolText(doc);
    if (m_history) m_history->noteChange();
}

void ZPK_VerdixPane::errorBox(const QString& text)
{
    if (!dzApp) {
        setStatus(text);
        return;
    }
    // Also without dialogs (a batch opening): the host's dialog service then logs the
    // text, and a headless host prints it and fails the run.
    dzApp->dialogs()->messageBox(QMessageBox::Information, "error", text, QString(), QMessageBox::Ok, QMessageBox::Ok,
                                 this);
}

bool ZPK_VerdixPane::readTextFile(const QString& path, QString* text, QString* error) const
{
    // A pipe would block the pane; a huge file would exhaust memory on the way in.
    if (!verdix::checkFileToRead(path, QStringLiteral("the file"), verdix::kMaxTextFileBytes, error)) return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        if (error) *error = file.errorString();
        return false;
    }
    // Written as 8-bit text; read the same way so that names keep their letters.
    QTextStream in(&file);
    in.setCodec("ISO-8859-1");
    QString out;
    while (!in.atEnd()) {
        out += in.readLine();
        out += QLatin1Char('\n');
    }
    if (file.error() != QFileDevice::NoError) {
        if (error) *error = file.errorString();
        return false;
    }
    *text = out;
    return true;
}

bool ZPK_VerdixPane::writeTextFile(const QString& path, const QString& text, QString* error) const
{
    return DzSafeFile::writeAll(path, text.toLatin1(), error);
}

void ZPK_VerdixPane::SaveScene()
{
    if (m_boxes.count() == 0) {
        setStatus("Error: Nothing to save!");
        return;
    }
    saveModelData();
    const QString doc = m_model ? m_model->coolText() : buildSetDocument();
    const QString path = dzApp->dialogs()->getSaveFileName(this, "Save File", rootFolder("Verdix_Scene"), kFilter);
    if (path.isEmpty()) return;
    QString error;
    if (!writeTextFile(path, doc, &error)) {
        errorBox(error);
        return;
    }
    setStatus("Preset saved!");
}

void ZPK_VerdixPane::OpenScene()
{
    const QString path = dzApp->dialogs()->getOpenFileName(this, "Open File", rootFolder("Verdix_Scene"), kFilter);
    if (path.isEmpty()) return;
    QString text, error;
    // A file that cannot be read leaves the pane and the stored document as they are.
    if (!readTextFile(path, &text, &error)) {
        errorBox(error);
        return;
    }
    setStatus(QString("Open Verdix scene %1").arg(QFileInfo(path).fileName()));
    if (!m_model) return;
    m_busy = true;
    m_documentFolder = QFileInfo(path).absolutePath();
    openDocument(text, true, QFileInfo(path).fileName());
    m_documentFolder.clear();
    m_busy = false;
}

bool ZPK_VerdixPane::openSetDocument(const QString& path)
{
    QString text, error;
    if (!readTextFile(path, &text, &error)) {
        // Told as a broken document is: a script that opens a pipe or a missing file must not
        // end a batch run as if it had opened it.
        const QString message = QString("Error: Cannot open %1: %2").arg(QFileInfo(path).fileName(), error);
        setStatus(message);
        errorBox(message);
        return false;
    }
    m_mergeCheck->setChecked(false);
    if (m_history) {
        m_history->commit(true);
        m_history->hint("Open all");
    }
    m_noDialogs = true;
    m_busy = true;
    m_documentFolder = QFileInfo(path).absolutePath();
    const bool opened = openDocument(text, true, QFileInfo(path).fileName());
    m_documentFolder.clear();
    m_busy = false;
    m_noDialogs = false;
    // A script's or the command line's opening is a step of its own.
    if (m_history) m_history->commit(true);
    return opened;
}

void ZPK_VerdixPane::openModelData()
{
    // The document a host scene stores may point beside the scene file.
    const QString scene = dzScene ? dzScene->getFilename() : QString();
    m_documentFolder = scene.isEmpty() ? QString() : QFileInfo(scene).absolutePath();
    openDocument(m_model ? m_model->coolText() : QString(), false);
    m_documentFolder.clear();
}

void ZPK_VerdixPane::readModel() { openModelData(); }

void ZPK_VerdixPane::SceneLoadOrSave()
{
    VerdixFlags::refreshBlocked = false;
    openModelData();
}

bool ZPK_VerdixPane::openDocument(const QString& text, bool fileOpening, const QString& source)
{
    const QString name = source.isEmpty() ? QString("The set document") : source;
    // Refusals leave the boxes, the stored document and the scene as they were; a file the
    // user chose is told about, so the last opening's status does not stand for this one.
    auto refuse = [&](const QString& why) {
        const QString message = QString("Error: %1 %2; nothing was loaded").arg(name, why);
        setStatus(message);
        errorBox(message);
        return false;
    };
    if (text.size() < 10) {
        // A host scene without boxes stores nothing; that is no error.
        if (!fileOpening) return false;
        // Counted as the file holds them: reading added a line end to the last line.
        const int chars = text.endsWith(QLatin1Char('\n')) ? text.size() - 1 : text.size();
        return refuse(text.trimmed().isEmpty()
                          ? QString("is empty")
                          : QString("holds only %1 characters, too few for a Verdix scene").arg(chars));
    }

    // A host load into the scene whose boxes are already built (an object merged in,
    // the same file again) builds nothing.
    if (!fileOpening) {
        const QString file = dzScene ? dzScene->getFilename() : QString();
        if (file.isEmpty() || (!m_lastLoadedScene.isEmpty() && m_lastLoadedScene == file)) {
            setStatus("Object added to scene!");
            return false;
        }
        m_lastLoadedScene = file;
    }

    // Text that is not a set document must not cost the pane its boxes.
    const verdix::SetDocument doc = verdix::splitSetDocument(text);
    if (doc.empty || doc.lines.isEmpty() || doc.lines.first().kind != verdix::SetDocumentLine::Header)
        return refuse(QString("is not a Verdix scene: it does not start with \"%1\"").arg(verdix::kSetDocumentHeader));
    const QVector<verdix::SetDocumentLine> unknown = doc.unknownLines();
    auto describe = [](const verdix::SetDocumentLine& l) {
        return QString("line %1 (%2) is not a box record").arg(l.number).arg(verdix::quotedField(l.firstField));
    };
    // Nothing but lines that are no records: garbage after a header, not an empty set.
    if (doc.boxLines() == 0 && !unknown.isEmpty()) return refuse("has no box records: " + describe(unknown.first()));
    // A file with a header and no record would only clear the pane.
    if (doc.boxLines() == 0 && fileOpening) return refuse("has no box records after its header");
    // A record the reader would complete with defaults is refused before any box goes.
    for (const verdix::SetDocumentLine& l : doc.lines) {
        if (l.kind != verdix::SetDocumentLine::Box) continue;
        const QString fault = verdix::recordFault(l.text, l.type);
        if (!fault.isEmpty())
            return refuse(QString("has a broken record: line %1 (%2): %3").arg(l.number).arg(l.firstField, fault));
    }

    // What a cancelled file opening puts back: the boxes as their document, the stored
    // text, the nodes of the scene with their labels, and the check boxes it changes.
    // A host scene load is not cancelled here: the scene it belongs to is already in.
    const bool cancellable = fileOpening && !m_restoring;
    struct Before
    {
        QString boxes, stored;
        QList<QPair<QPointer<DzNode>, QString>> nodes;
        bool merge = false, autoOff = false;
        int selector = -1;
    } before;
    if (cancellable) {
        before.boxes = m_boxes.count() > 0 ? buildSetDocument() : QString();
        before.stored = m_model ? m_model->coolText() : QString();
        if (dzScene)
            for (DzNode* n : dzScene->nodeList()) before.nodes.append({QPointer<DzNode>(n), n->getLabel()});
        before.merge = m_mergeCheck->isChecked();
        before.autoOff = m_autoOffCheck->isChecked();
        before.selector = m_landscapeSelector->currentIndex();
    }
    if (fileOpening && m_model) m_model->setCoolText(text);
    // A host scene load always replaces the boxes.
    if (!fileOpening) m_mergeCheck->setChecked(false);

    // Merge decision.
    if (fileOpening && !m_mergeCheck->isChecked() && m_boxes.count() > 0 && !m_noDialogs) {
        const QMessageBox::StandardButton answer = dzApp->dialogs()->messageBox(
            QMessageBox::Warning, "Verdix",
            QString("Merge with %1 controls, attach to %2 landscape")
                .arg(m_boxes.count())
                .arg(m_landscapeSelector->currentText()),
            QString(), QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes, this);
        if (answer == QMessageBox::Cancel) {
            saveModelData();
            return false;
        }
        m_mergeCheck->setChecked(answer == QMessageBox::Yes);
    }

    setStatus("Processing...");
    DzProgress progress(QString("Opening %1").arg(name), doc.lines.size(), cancellable);
    int base = 0, target = 0;
    if (!m_mergeCheck->isChecked()) {
        m_landscapeSelector->clear();
        // Nodes of a freshly loaded host scene carry the titles of the boxes to come: a host
        // load leaves the labels alone.
        const int count = m_boxes.count();
        for (int n = 0; n < count; ++n) ControlBox_DeleteControl(true, fileOpening);
        if (m_boxes.count() > 0) return false;
    } else {
        base = m_boxes.count();
        target = FindLandScapeIndex(m_landscapeSelector->currentText());
        const ControlBox* t = m_boxes.at(target);
        if (!t || t->type != TypeLandscape) target = base;
    }

    const int selectorIndex = m_landscapeSelector->currentIndex();
    m_sceneOpening = true;
    m_loading = true;
    m_busy = true;
    VerdixFlags::progress = false;

    m_progress->setRange(0, qMax(0, doc.lines.size() - 1));

    auto applyLandscapeList = [&](const QVector<int>& list) {
        for (int p = 0; p < list.size(); ++p) {
            ControlBox* b = m_boxes.at(base + p);
            if (!b) break;
            b->landscapeIndex =
                verdix::resolveLandscapeEntry(list[p], b->type == TypeLandscape, base, target, m_boxes.count());
        }
    };

    // Events are let through after each box, and now and then over other lines.
    QElapsedTimer sinceEvents;
    sinceEvents.start();
    auto letEventsThrough = [&](bool always) {
        if (always || sinceEvents.elapsed() > 30) {
            QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
            sinceEvents.restart();
        }
    };
    int landscapes = 0;
    int handled = 0;
    int notCreated = 0, pastCapacity = 0;
    const int boxLines = doc.boxLines();
    // Records count one step each, and the passes over the new boxes one each.
    progress.setTotal(doc.lines.size() + 2LL * boxLines);
    auto putBack = [&]() {
        m_sceneOpening = false;
        // The boxes this opening made go, and so do the nodes it added.
        const int keep = m_mergeCheck->isChecked() ? base : 0;
        while (m_boxes.count() > keep) {
            const int before_ = m_boxes.count();
            deleteLastBox();
            if (m_boxes.count() == before_) break;
        }
        QSet<DzNode*> had;
        for (const auto& n : before.nodes)
            if (n.first) had.insert(n.first.data());
        if (dzScene)
            for (DzNode* n : dzScene->nodeList())
                if (!had.contains(n)) dzScene->removeNode(n);
        for (const auto& n : before.nodes)
            if (n.first && n.first->getLabel() != n.second) n.first->setLabel(n.second);
        m_busy = false;
        m_loading = false;
        VerdixFlags::progress = true;
        m_progress->setValue(0);
        progress.finish();
        // Without merging the old boxes were deleted: they are built again from their own
        // document and find their nodes by title.
        if (keep == 0 && !before.boxes.isEmpty()) {
            const bool dialogs = m_noDialogs;
            m_restoring = true;
            m_noDialogs = true;
            m_mergeCheck->setChecked(false);
            openDocument(before.boxes, true, name);
            m_noDialogs = dialogs;
            m_restoring = false;
        }
        m_mergeCheck->setChecked(before.merge);
        m_autoOffCheck->setChecked(before.autoOff);
        if (before.selector >= 0 && before.selector < m_landscapeSelector->count())
            m_landscapeSelector->setCurrentIndex(before.selector);
        if (m_model) m_model->setCoolText(before.stored);
        setStatus(QString("Cancelled: opening %1; the boxes are as they were").arg(name));
        return false;
    };
    for (const verdix::SetDocumentLine& line : doc.lines) {
        switch (line.kind) {
        case verdix::SetDocumentLine::Box: {
            const int i = m_boxes.count();
            if (m_boxes.isFull()) {
                ++pastCapacity;
            } else if (createBoxOfType(line.type)) {
                QString record = line.text;
                ReadSaveControls(i, line.type, verdix::setRecordHeader(line.type), record, false);
                updateBox(i);
                if (line.type == TypeLandscape) ++landscapes;
            } else {
                ++notCreated;
            }
            break;
        }
        case verdix::SetDocumentLine::Header:
            break;
        case verdix::SetDocumentLine::LandscapeList:
            applyLandscapeList(line.landscapeList);
            break;
        case verdix::SetDocumentLine::Unknown:
            setStatus(QString("Error: Model %1").arg(line.firstField));
            break;
        }
        m_progress->setValue(++handled);
        // A new box posts layout and paint events; they are cheapest while few.
        letEventsThrough(line.kind == verdix::SetDocumentLine::Box);
        if (!progress.step(handled)) return putBack();
    }

    m_sceneOpening = false;
    const int total = m_boxes.count();
    if (landscapes > 0) {
        m_progress->setRange(0, 2 * (total - base));
        int step = 0;
        for (int i = base; i < total; ++i) {
            m_progress->setValue(++step);
            if (m_boxes[i].type == TypeLandscape && m_boxes[i].groupBox) {
                updateBox(i);
                letEventsThrough(false);
            }
            if (!progress.step(doc.lines.size() + step)) return putBack();
        }
        if (m_autoOffCheck->isChecked()) m_autoOffCheck->setChecked(false);
        const bool canPlace = hasSlot("AllObjectsOnLandScapeShow(int)");
        for (int i = base; i < total; ++i) {
            m_progress->setValue(++step);
            if (m_boxes[i].type == TypeLandscape && canPlace) {
                QMetaObject::invokeMethod(this, "AllObjectsOnLandScapeShow", Qt::DirectConnection, Q_ARG(int, i));
                letEventsThrough(false);
            }
            if (!progress.step(doc.lines.size() + step)) return putBack();
        }
    } else {
        int target2 = FindLandScapeIndex(m_landscapeSelector->currentText());
        if (target2 < 0 || target2 > total) target2 = 0;
        for (int i = base; i < total; ++i) m_boxes[i].landscapeIndex = target2;
        invokeIfPresent("AllObjectsWithNoLandScape");
        letEventsThrough(true);
        if (!progress.step(doc.lines.size() + 2LL * boxLines)) return putBack();
    }

    m_busy = false;
    m_loading = false;
    VerdixFlags::progress = true;
    if (selectorIndex >= 0 && selectorIndex < m_landscapeSelector->count())
        m_landscapeSelector->setCurrentIndex(selectorIndex);
    m_progress->setValue(0);
    // What was not loaded is said, never dropped in silence.
    QStringList lost;
    if (!unknown.isEmpty())
        lost << QString("%1 of %2 lines skipped (%3)")
                    .arg(unknown.size())
                    .arg(doc.lines.size())
                    .arg(describe(unknown.first()));
    if (pastCapacity > 0)
        lost << QString("%1 of %2 box records not loaded: the pane holds at most %3 boxes")
                    .arg(pastCapacity)
                    .arg(doc.boxLines())
                    .arg(kMaxControlBoxes);
    if (notCreated > 0) lost << QString("%1 box records could not be created").arg(notCreated);
    if (lost.isEmpty()) {
        setStatus("Scene load finished..");
    } else {
        const QString message = QString("%1: %2").arg(name, lost.join("; "));
        setStatus("Scene load finished.. " + message);
        errorBox(message);
    }
    saveModelData();
    return true;
}

// ---- Presets -----------------------------------------------------------------------------

void ZPK_VerdixPane::SavePreset(int Index, int Type, QString FolderName, QString HeaderName)
{
    ControlBox* box = m_boxes.at(Index);
    if (!box || box->type != Type) return;
    const QString folder = rootFolder(FolderName);
    const QString path = dzApp->dialogs()->getSaveFileName(this, "Save File", folder, kFilter);
    if (path.isEmpty()) return;
    QString text;
    WriteSaveControls(Index, Type, HeaderName, text);
    QString error;
    if (!writeTextFile(path, text, &error)) {
        errorBox(error);
        return;
    }
    setStatus("Preset saved!");

    // The list as a new box would show it, with its placeholder first.
    box = m_boxes.at(Index);
    QComboBox* list = box ? box->combo('A') : nullptr;
    if (!list) return;
    const verdix::TypeLayout& layout = verdix::layoutFor(Type);
    const int c = layout.comboForLetter('A');
    if (c < 0) return;
    list->blockSignals(true);
    list->clear();
    list->addItem(QString::fromLatin1(layout.combos[c].placeholder));
    list->addItems(verdix::listComboFiles(folder, layout.combos[c].filter));
    list->blockSignals(false);
}

void ZPK_VerdixPane::OpenPreset(int i, int Type, QString FolderName, QString HeaderName, bool isPreset)
{
    ControlBox* box = m_boxes.at(i);
    if (!box || box->type != Type) return;
    const QString folder = rootFolder(FolderName);
    QString path;
    if (isPreset) {
        QComboBox* list = box->combo('A');
        // The placeholder names no preset.
        if (!list || list->currentIndex() <= 0) return;
        path = folder + "/" + list->currentText();
    } else {
        path = dzApp->dialogs()->getOpenFileName(this, "Open File", folder, kFilter);
        if (path.isEmpty()) return;
    }
    QString text, error;
    if (!readTextFile(path, &text, &error)) {
        setStatus("Error: " + error);
        errorBox(error);
        return;
    }
    QString line = text.section(QLatin1Char('\n'), 0, 0);
    if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
    // A preset that is no preset leaves the box as it is, and says so where a batch run sees it.
    const QString fault = verdix::presetFault(line, Type, HeaderName);
    if (!fault.isEmpty()) {
        const QString message =
            QString("Error: the preset %1 %2; the box was left as it was").arg(QFileInfo(path).fileName(), fault);
        setStatus(message);
        errorBox(message);
        return;
    }
    m_loading = true;
    m_documentFolder = QFileInfo(path).absolutePath();
    ReadSaveControls(i, Type, HeaderName, line, true);
    m_documentFolder.clear();
    m_loading = false;
}

int ZPK_VerdixPane::boxWithFocus(int type, QWidget* (*widgetOf)(const ControlBox&)) const
{
    for (int i = 0; i < m_boxes.count(); ++i) {
        if (m_boxes[i].type != type) continue;
        QWidget* w = widgetOf(m_boxes[i]);
        if (w && w->hasFocus()) return i;
    }
    return -1;
}

namespace {
QWidget* saveButtonOf(const ControlBox& b) { return b.savePresetButton; }
QWidget* openButtonOf(const ControlBox& b) { return b.openFileButton; }
QWidget* presetListOf(const ControlBox& b) { return b.combo('A'); }
}  // namespace

void ZPK_VerdixPane::presetButton(int type, bool save, QWidget* (*widgetOf)(const ControlBox&))
{
    const int i = boxWithFocus(type, widgetOf);
    if (i < 0) return;
    const BoxTypeEntry* t = typeInfo(type);
    if (!t || !t->presetFolder) return;
    const QString folder = QString::fromLatin1(t->presetFolder);
    const QString header = QString::fromLatin1(t->presetHeader);
    if (save) {
        SavePreset(i, type, folder, header);
        return;
    }
    OpenPreset(i, type, folder, header, widgetOf == &presetListOf);
    updateBox(i);
    saveModelData();
}

void ZPK_VerdixPane::Button_SaveTreePreset() { presetButton(TypeTree, true, &saveButtonOf); }
void ZPK_VerdixPane::Button_OpenTreePreset(int) { presetButton(TypeTree, false, &presetListOf); }
void ZPK_VerdixPane::Button_OpenTreeFile() { presetButton(TypeTree, false, &openButtonOf); }
void ZPK_VerdixPane::Button_SaveFlowerPreset() { presetButton(TypeFlower, true, &saveButtonOf); }
void ZPK_VerdixPane::Button_OpenFlowerPreset(int) { presetButton(TypeFlower, false, &presetListOf); }
void ZPK_VerdixPane::Button_OpenFlowerFile() { presetButton(TypeFlower, false, &openButtonOf); }
