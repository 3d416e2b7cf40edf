#include "settings/pet_settings_preview.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "core/localization.h"
#include "platform/preferences.h"
#include "taskbar/pet/pet_thumbnail.h"

PetSettingsPreview::PetSettingsPreview(StartPet pet, QWidget* parent) : QWidget(parent), pet_(pet) {
    setObjectName(QStringLiteral("petPreview"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 6, 0, 6);
    row->setSpacing(14);

    // 48 × 44 with 2 points above; the name beside it is what is read out.
    auto* picture = new QWidget(this);
    picture->setFixedSize(48, 46);
    thumbnail_ = new PetThumbnail(pet, picture);
    thumbnail_->setGeometry(0, 2, 48, 44);
    thumbnail_->setAccessibleName(QString());
    thumbnail_->setFocusPolicy(Qt::NoFocus);
    row->addWidget(picture, 0, Qt::AlignTop);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(7);
    name_ = new QLabel(this);
    QFont headline = name_->font();
    headline.setBold(true);
    headline.setPixelSize(13);
    name_->setFont(headline);
    description_ = new QLabel(this);
    description_->setForegroundRole(QPalette::PlaceholderText);
    quote_ = new QLabel(this);
    for (QLabel* label : {description_, quote_}) {
        QFont callout = label->font();
        callout.setPixelSize(12);
        label->setFont(callout);
    }
    for (QLabel* label : {name_, description_, quote_}) {
        label->setWordWrap(true);
        label->setAlignment(Qt::AlignLeading | Qt::AlignTop);
        label->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
        texts->addWidget(label);
    }
    row->addLayout(texts, 1);

    connect(&platform::prefs::userDefaults(), &platform::prefs::Domain::changed, this, [this](const QString& key) {
        if (key == settings::keys::appLanguage) retranslate();
    });
    retranslate();
}

void PetSettingsPreview::retranslate() {
    name_->setText(tr_(name(pet_)));
    description_->setText(tr_(description(pet_)));
    quote_->setText(tr_(quote(pet_)));
}

const char* PetSettingsPreview::name(StartPet pet) {
    switch (pet) {
        case StartPet::cat: return "Duvar the cat";
        case StartPet::dog: return "Ziruziz the dog";
        case StartPet::mouse: return "Vivu the mouse";
    }
    return "";
}

const char* PetSettingsPreview::description(StartPet pet) {
    switch (pet) {
        case StartPet::cat:
            return "Looks deep in thought, but is really plotting a little mischief. Gets caught, puts on innocent "
                   "eyes. When tired, naps anywhere; wakes up ready for another bit of fun.";
        case StartPet::dog:
            return "Messy ears, an unkempt tail, and no plans to fix either. A full belly, good sleep, and someone to "
                   "daydream with make a perfect day. A little tail wag is enough of an answer to life.";
        case StartPet::mouse:
            return "Quietly watches the world from a corner. Wants to try everything, usually for about three "
                   "minutes. Squeaks when someone steals the cheese, sulks a little, then peeks out again.";
    }
    return "";
}

const char* PetSettingsPreview::quote(StartPet pet) {
    switch (pet) {
        case StartPet::cat: return "“Enough for today. More mischief tomorrow.”";
        case StartPet::dog: return "“If nothing urgent comes up, time for a little nap.”";
        case StartPet::mouse: return "“Three minutes still counts as love.”";
    }
    return "";
}
