#include "taskbar/pet/pet_thumbnail.h"

#include <QPointer>
#include <QPainter>
#include <algorithm>

#include "core/localization.h"
#include "platform/platform.h"
#include "taskbar/pet/pet_art.h"

namespace {

bool applicationIsDark() {
    const auto& app = platform::installed().application;
    return app && app->effectiveAppearance() == platform::Appearance::darkAqua;
}

}  // namespace

PetThumbnail::PetThumbnail(StartPet pet, QWidget* parent) : QWidget(parent), pet_(pet) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAccessibleName(accessibleNameOf(pet_));
    if (const auto& app = platform::installed().application) {
        QPointer<PetThumbnail> self(this);
        appearanceObserver_ = app->addObserver([self] {
            if (self) self->update();
        });
        // The observer may outlive the backend it was registered with.
        std::weak_ptr<platform::Application> weakApp = app;
        connect(this, &QObject::destroyed, [weakApp, token = appearanceObserver_] {
            if (auto a = weakApp.lock()) a->removeObserver(token);
        });
    }
}

void PetThumbnail::setPet(StartPet pet) {
    if (pet == pet_) return;
    pet_ = pet;
    setAccessibleName(accessibleNameOf(pet_));
    update();
}

void PetThumbnail::setColorScheme(std::optional<bool> dark) {
    if (dark == dark_) return;
    dark_ = dark;
    update();
}

bool PetThumbnail::isDark() const { return dark_.value_or(applicationIsDark()); }

QString PetThumbnail::accessibleNameOf(StartPet pet) {
    switch (pet) {
        case StartPet::cat: return tr_("Duvar the cat");
        case StartPet::dog: return tr_("Ziruziz the dog");
        case StartPet::mouse: return tr_("Vivu the mouse");
    }
    return {};
}

void PetThumbnail::drawPet(QPainter& painter, QSizeF size, StartPet pet, bool isDark) {
    const double s = std::min(size.height() / 60, size.width() / 68);
    if (!(s > 0)) return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate((size.width() - 60 * s) / 2, 2 * s);
    painter.scale(s, s);
    PetArt::draw(pet, painter, isDark, PetArt::darkDetailColor, PetArt::eyeColor, PetPose{});
    painter.restore();
}

void PetThumbnail::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    drawPet(painter, size(), pet_, isDark());
}
