#include "taskbar/start_button.h"

#include <QAccessibleWidget>
#include <QContextMenuEvent>
#include <cmath>
#include <QEnterEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include "core/localization.h"
#include "platform/platform.h"
#include "taskbar/start_menu_port.h"
#include "taskbar/bar_style.h"
#include "taskbar/pet/pet_start_button.h"
#include "taskbar/pet/start_icon_store.h"
#include "taskbar/symbol_painter.h"

namespace {

StartButton::PetViewFactory& petViewFactory() {
    static StartButton::PetViewFactory factory = makeStartButtonPetView;
    return factory;
}

const QString kSymbolKey = settings::keys::appearanceStartIconSymbol;
const QString kFollowsKey = settings::keys::appearancePetFollowsPointer;
const QString kIdleKey = settings::keys::appearancePetIdleMotion;

// A symbol drawn as an icon-sized glyph of the body text.
constexpr double kSymbolSide = 16;

}  // namespace

// One accessible element for the whole button: a "Start" button whose press
// opens or closes the start menu; the face and the pet are hidden from it.
class StartButtonAccessible : public QAccessibleWidget {
public:
    explicit StartButtonAccessible(QWidget* w) : QAccessibleWidget(w, QAccessible::Button, tr_("Start")) {}
    int childCount() const override { return 0; }
    QAccessibleInterface* child(int) const override { return nullptr; }
    QString text(QAccessible::Text t) const override {
        return t == QAccessible::Name ? tr_("Start") : QAccessibleWidget::text(t);
    }
    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& name) override {
        if (name == pressAction()) static_cast<StartButton*>(widget())->performAccessibilityAction();
    }
};

QAccessibleInterface* startButtonAccessibleFactory(const QString& className, QObject* object) {
    if (className == QLatin1String("StartButton") && object && object->isWidgetType())
        return new StartButtonAccessible(static_cast<QWidget*>(object));
    return nullptr;
}

void StartButton::setPetViewFactory(PetViewFactory factory) { petViewFactory() = std::move(factory); }

StartButton::PetViewFactory StartButton::currentPetViewFactory() { return petViewFactory(); }

StartButton::StartButton(StartIconStore& iconStore, StartMenuPort& startMenu,
                         std::optional<platform::DisplayID> displayID, QWidget* parent)
    : QWidget(parent), iconStore_(iconStore), startMenu_(startMenu), displayID_(displayID) {
    setObjectName(QStringLiteral("StartButton"));
    setAttribute(Qt::WA_Hover);
    setAttribute(Qt::WA_TranslucentBackground);
    setFocusPolicy(Qt::NoFocus);
    static const bool accessibleInstalled = [] {
        QAccessible::installFactory(startButtonAccessibleFactory);
        return true;
    }();
    (void)accessibleInstalled;
    setToolTip(tr_("Start"));
    setAccessibleName(tr_("Start"));
    connect(&iconStore_, &StartIconStore::changed, this, &StartButton::refresh);
    connect(&startMenu_, &StartMenuPort::presentedScreenIDChanged, this, &StartButton::refresh);
    connect(&platform::prefs::userDefaults(), &platform::prefs::Domain::changed, this, [this](const QString& key) {
        if (key == kSymbolKey || key == kFollowsKey || key == kIdleKey) refresh();
        if (key == settings::keys::appLanguage) {
            setToolTip(tr_("Start"));
            setAccessibleName(tr_("Start"));
        }
    });
    refresh();
}

StartButton::~StartButton() {
    if (petView_) delete petView_.data();
}

StartButton::Face StartButton::face() const {
    if (iconStore_.pet()) return Face::pet;
    if (iconStore_.useCustom() && iconStore_.customImage() && !iconStore_.customImage()->isNull())
        return Face::picture;
    return Face::symbol;
}

QString StartButton::symbolName() const {
    const QString name = settings::readString(kSymbolKey);
    return name.isEmpty() ? symbols::defaultStartSymbol : name;
}

bool StartButton::menuOpenHere() const {
    const auto presented = startMenu_.presentedScreenID();
    return presented && displayID_ && *presented == *displayID_;
}

StartButton::PetState StartButton::petState() const {
    PetState s;
    s.pet = iconStore_.pet().value_or(StartPet::cat);
    s.menuOpen = menuOpenHere();
    s.followsPointer = settings::readBool(kFollowsKey);
    s.idleMotion = settings::readBool(kIdleKey);
    return s;
}

QSize StartButton::sizeHint() const {
    return QSize(iconStore_.pet() ? widthWithPet : widthWithoutPet, heightPoints);
}

void StartButton::refresh() {
    const QSize hint = sizeHint();
    const bool resized = size() != hint;
    if (resized) {
        setFixedSize(hint);
        updateGeometry();
    }
    syncPetView();
    // Every opening and closing of the menu comes here; the bar lays itself
    // out again only for what moves it.
    const Face now = face();
    if (resized || lastFace_ != now) {
        lastFace_ = now;
        emit faceChanged();
    }
    update();
}

void StartButton::syncPetView() {
    if (!iconStore_.pet()) {
        if (petView_) setPetView(nullptr);
        lastPetState_.reset();
        return;
    }
    if (!petView_ && petViewFactory()) setPetView(petViewFactory()(*this));
    const PetState state = petState();
    if (lastPetState_ != state) {
        lastPetState_ = state;
        emit petStateChanged(state);
    }
}

void StartButton::setPetView(QWidget* view) {
    if (petView_ == view) return;
    if (petView_) delete petView_.data();
    petView_ = view;
    if (!view) return;
    // The pet lives in the bar beside the button, behind it, so it may be as
    // tall as the bar while the button keeps its own height.
    view->setParent(parentWidget() ? parentWidget() : this);
    view->setAttribute(Qt::WA_TransparentForMouseEvents);
    placePetView();
    view->show();
    view->stackUnder(this);
}

void StartButton::placePetView() {
    if (!petView_) return;
    QWidget* host = petView_->parentWidget();
    if (host && host != this) {
        // Centred on the button, as tall as the bar.
        const double centreX = geometry().x() + width() / 2.0;
        petView_->setGeometry(int(std::lround(centreX - petViewWidth / 2.0)), 0, petViewWidth, host->height());
    } else {
        petView_->setGeometry(int(std::lround(width() / 2.0 - petViewWidth / 2.0)), 0, petViewWidth, height());
    }
}

void StartButton::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    placePetView();
}

void StartButton::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    placePetView();
}

void StartButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const bar_style::Palette pal = bar_style::currentPalette();
    const QRectF bounds = rect();

    switch (face()) {
        case Face::pet:
            // The face stays clear; a faint highlight shows the hover.
            if (hovered_) {
                QColor c = pal.primary;
                c.setAlphaF(0.07f);
                QPainterPath path;
                path.addRoundedRect(bounds, 6, 6);
                p.fillPath(path, c);
            }
            break;
        case Face::picture: {
            const QRectF box(bounds.center().x() - pictureSide / 2, bounds.center().y() - pictureSide / 2, pictureSide,
                             pictureSide);
            QPainterPath clip;
            switch (iconStore_.shape()) {
                case StartIconShape::square: clip.addRect(box); break;
                case StartIconShape::roundedSquare:
                    clip.addRoundedRect(box, roundedSquareRadius, roundedSquareRadius);
                    break;
                case StartIconShape::circle: clip.addEllipse(box); break;
            }
            p.setClipPath(clip);
            p.setRenderHint(QPainter::SmoothPixmapTransform);
            p.drawImage(box, *iconStore_.customImage());
            break;
        }
        case Face::symbol: {
            const QRectF box(bounds.center().x() - kSymbolSide / 2, bounds.center().y() - kSymbolSide / 2, kSymbolSide,
                             kSymbolSide);
            symbols::SymbolPainter::paint(p, symbolName(), box, pal.primary);
            break;
        }
    }
}

void StartButton::enterEvent(QEnterEvent* event) {
    QWidget::enterEvent(event);
    hovered_ = true;
    update();
}

void StartButton::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    hovered_ = false;
    pressed_ = false;
    update();
}

void StartButton::mousePressEvent(QMouseEvent* event) {
    event->accept();
    if (event->button() == Qt::LeftButton) pressed_ = true;
}

void StartButton::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    if (event->button() != Qt::LeftButton || !pressed_) return;
    pressed_ = false;
    if (!rect().contains(event->position().toPoint())) return;
    startMenu_.toggle(true);
}

// A right click on the start button opens no menu, not even the bar's.
void StartButton::contextMenuEvent(QContextMenuEvent* event) { event->accept(); }

void StartButton::performAccessibilityAction() {
    if (startMenu_.isOpen()) startMenu_.close();
    else startMenu_.open();
}
