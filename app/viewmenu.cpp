#include "viewmenu.h"
#include <QActionGroup>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QMenu>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>
#include "framing.h"
#include "viewport.h"
#include "viewsettings.h"

namespace {

class SunSkyDialog : public QDialog
{
public:
    explicit SunSkyDialog(QWidget* parent) : QDialog(parent)
    {
        setWindowTitle("Sun & Sky");
        setObjectName("SunSkyDialog");
        auto* form = new QFormLayout;
        m_azimuth =
            spin("SunAzimuth", 0.0, 360.0, 1.0, 0, "Where the sun stands: 0 north (-Z), 90 east (+X), 180 south");
        m_elevation =
            spin("SunElevation", kMinElevation, kMaxElevation, 1.0, 0, "How high the sun stands above the horizon");
        m_turbidity = spin("SkyTurbidity", kMinTurbidity, kMaxTurbidity, 0.1, 1, "Haze: 2 very clear, 3 clear, 6 hazy");
        m_strength = spin("SunStrength", 0.0, 4.0, 0.05, 2, "Strength of the sun's light (the sky's stays)");
        form->addRow("Azimuth (°)", m_azimuth);
        form->addRow("Elevation (°)", m_elevation);
        form->addRow("Turbidity", m_turbidity);
        form->addRow("Sun strength", m_strength);
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::RestoreDefaults | QDialogButtonBox::Close);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
        connect(buttons->button(QDialogButtonBox::RestoreDefaults), &QAbstractButton::clicked, this, [this]() {
            ViewLook l = viewLook();
            l.sun = SunSky();
            setViewLook(l);
        });
        auto* box = new QVBoxLayout(this);
        box->addLayout(form);
        box->addWidget(buttons);
        follow();
        connect(ViewLookNotifier::instance(), &ViewLookNotifier::changed, this, [this]() { follow(); });
    }

private:
    QDoubleSpinBox* spin(const char* name, double lo, double hi, double step, int decimals, const char* tip)
    {
        auto* s = new QDoubleSpinBox(this);
        s->setObjectName(name);
        s->setRange(lo, hi);
        s->setSingleStep(step);
        s->setDecimals(decimals);
        s->setToolTip(tip);
        s->setKeyboardTracking(false);
        connect(s, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this, [this]() { apply(); });
        return s;
    }
    void follow()
    {
        m_following = true;
        const SunSky& s = viewLook().sun;
        m_azimuth->setValue(double(s.azimuthDeg));
        m_elevation->setValue(double(s.elevationDeg));
        m_turbidity->setValue(double(s.turbidity));
        m_strength->setValue(double(s.sunStrength));
        m_following = false;
    }
    void apply()
    {
        if (m_following) return;
        ViewLook l = viewLook();
        l.sun.azimuthDeg = float(m_azimuth->value());
        l.sun.elevationDeg = float(m_elevation->value());
        l.sun.turbidity = float(m_turbidity->value());
        l.sun.sunStrength = float(m_strength->value());
        setViewLook(l);
    }

    QDoubleSpinBox *m_azimuth, *m_elevation, *m_turbidity, *m_strength;
    bool m_following = false;
};

}  // namespace

QWidget* sunSkyDialog(QWidget* parent)
{
    auto* d = parent->findChild<SunSkyDialog*>();
    if (!d) d = new SunSkyDialog(parent);
    return d;
}

void buildViewMenu(QMenu* view, Viewport* viewport)
{
    view->addAction("Frame &All", viewport, &Viewport::frameAll, QKeySequence(Qt::Key_Home));
    QAction* sel = view->addAction("Frame &Selected", viewport, &Viewport::frameSelected, QKeySequence(Qt::Key_F));
    // The viewport takes F itself while it has focus; the menu's shortcut serves elsewhere.
    sel->setShortcutContext(Qt::WindowShortcut);
    view->addSeparator();
    for (NamedView v : {NamedView::Perspective, NamedView::Top, NamedView::Front, NamedView::Eye}) {
        QAction* a = view->addAction(namedViewLabel(v));
        a->setObjectName("View" + namedViewLabel(v).remove(' '));
        QObject::connect(a, &QAction::triggered, viewport, [viewport, v]() { viewport->setNamedView(int(v)); });
    }
    view->addSeparator();
    auto* group = new QActionGroup(view);
    const struct
    {
        Shading mode;
        const char* label;
        const char* tip;
    } modes[] = {
        {Shading::Full, "Shading: &Full", "Sky, sun with shadows, ambient occlusion, fog"},
        {Shading::Fast, "Shading: F&ast", "Sky, sun and fog without shadows or occlusion, for very large scenes"},
        {Shading::Flat, "Shading: Fl&at", "One fixed light and no sky, for checking geometry"},
    };
    for (const auto& m : modes) {
        QAction* a = view->addAction(m.label);
        a->setObjectName(QString("Shading") + shadingName(m.mode));
        a->setToolTip(m.tip);
        a->setStatusTip(m.tip);
        a->setCheckable(true);
        a->setChecked(viewLook().shading == m.mode);
        group->addAction(a);
        const Shading mode = m.mode;
        QObject::connect(a, &QAction::triggered, view, [mode]() {
            ViewLook l = viewLook();
            l.shading = mode;
            setViewLook(l);
        });
        QObject::connect(ViewLookNotifier::instance(), &ViewLookNotifier::changed, a,
                         [a, mode]() { a->setChecked(viewLook().shading == mode); });
    }
    view->addSeparator();
    QWidget* window = viewport->window();
    view->addAction("Sun && Sky…", view, [window]() {
        QWidget* d = sunSkyDialog(window);
        d->show();
        d->raise();
    });
}
