#include "terrainmenu.h"
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMetaMethod>
#include <QPushButton>
#include <QSpinBox>
#include <dzapp.h>
#include <dzdialogs.h>
#include <dzpane.h>
#include <dzprogress.h>
#include "commandline.h"
#include "erodecommand.h"

namespace {

QObject* verdixPane()
{
    if (!dzApp) return nullptr;
    for (DzPane* p : dzApp->getPaneMgr()->panes())
        if (p->metaObject()->indexOfMethod("erodeLandscape(int,QVariantMap)") >= 0) return p;
    return nullptr;
}

QVariantList landscapeBoxes(QObject* pane)
{
    QVariantList boxes;
    if (pane)
        QMetaObject::invokeMethod(pane, "landscapeBoxes", Qt::DirectConnection, Q_RETURN_ARG(QVariantList, boxes));
    return boxes;
}

// The dialog: one field per option of the command line's table, with its range.
class ErodeDialog : public QDialog
{
public:
    ErodeDialog(const QVariantList& boxes, QWidget* parent) : QDialog(parent)
    {
        setWindowTitle("Erode");
        setObjectName("ErodeDialog");
        auto* form = new QFormLayout(this);
        m_box = new QComboBox(this);
        m_box->setObjectName("ErodeBox");
        for (const QVariant& b : boxes) {
            const QVariantMap m = b.toMap();
            m_box->addItem(m.value("title").toString(), m.value("index"));
        }
        form->addRow("Landscape", m_box);
        int n = 0;
        const ErodeOption* opts = erodeOptions(&n);
        for (int k = 0; k < n; ++k) {
            const ErodeOption& o = opts[k];
            QString label = QString::fromLatin1(o.option).mid(int(strlen("--erode-")));
            label[0] = label[0].toUpper();
            label.replace('-', ' ');
            QWidget* field;
            if (o.whole) {
                auto* spin = new QSpinBox(this);
                spin->setRange(int(o.lo), int(o.hi));
                spin->setValue(int(o.fallback));
                field = spin;
            } else {
                auto* spin = new QDoubleSpinBox(this);
                spin->setDecimals(o.hi <= 1 ? 3 : 2);
                spin->setRange(o.lo, o.hi);
                spin->setSingleStep(o.hi <= 1 ? 0.01 : 0.5);
                spin->setValue(o.fallback);
                field = spin;
            }
            field->setObjectName(QString("Erode:%1").arg(QLatin1String(o.key)));
            field->setToolTip(QString("%1 (%2)").arg(QLatin1String(o.help), QLatin1String(o.option)));
            form->addRow(label, field);
            m_fields.append({o.key, field});
        }
        m_name = new QLineEdit(this);
        m_name->setObjectName("ErodeName");
        m_name->setPlaceholderText("Eroded <box>.dat");
        m_name->setToolTip("File in the User folder that takes the eroded heights");
        form->addRow("File", m_name);
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
        buttons->button(QDialogButtonBox::Ok)->setText("Erode");
        connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
        form->addRow(buttons);
    }

    int box() const { return m_box->currentData().toInt(); }
    QVariantMap options() const
    {
        QVariantMap o;
        for (const auto& f : m_fields) {
            if (auto* i = qobject_cast<QSpinBox*>(f.second)) o.insert(QLatin1String(f.first), i->value());
            else if (auto* d = qobject_cast<QDoubleSpinBox*>(f.second)) o.insert(QLatin1String(f.first), d->value());
        }
        if (!m_name->text().trimmed().isEmpty()) o.insert("name", m_name->text().trimmed());
        return o;
    }

private:
    QComboBox* m_box;
    QLineEdit* m_name;
    QList<QPair<const char*, QWidget*>> m_fields;
};

void erode(QMainWindow* window)
{
    QObject* pane = verdixPane();
    const QVariantList boxes = landscapeBoxes(pane);
    if (!pane || boxes.isEmpty()) {
        dzApp->dialogs()->messageBox(QMessageBox::Information, "Erode", "There is no landscape box to erode.",
                                     QString(), QMessageBox::Ok, QMessageBox::Ok, window);
        return;
    }
    ErodeDialog dialog(boxes, window);
    if (dialog.exec() != QDialog::Accepted) return;
    ErodeRequest request;
    request.box = dialog.box();
    request.options = dialog.options();
    QString error;
    // The pane shows the progress; a cancel is no error to show.
    if (!runErode(request, pane, &error) && !DzProgress::wasCancelled())
        dzApp->dialogs()->messageBox(QMessageBox::Warning, "Erode", error, QString(), QMessageBox::Ok, QMessageBox::Ok,
                                     window);
}

}  // namespace

void addTerrainMenu(QMainWindow* window)
{
    QMenu* menu = window->menuBar()->addMenu("&Terrain");
    menu->setObjectName("TerrainMenu");
    QAction* act = menu->addAction("&Erode\u2026", window, [window]() { erode(window); });
    act->setObjectName("ErodeAction");
    act->setToolTip("Erode a landscape box's terrain with rain and sliding ground");
    // Without the plug-in's pane there is nothing to erode.
    QObject::connect(menu, &QMenu::aboutToShow, act, [act]() {
        act->setEnabled(verdixPane() != nullptr);
        act->setToolTip(act->isEnabled() ? QString("Erode a landscape box's terrain with rain and sliding ground")
                                         : QString("The Verdix pane is not loaded; there is nothing to erode"));
    });
}
