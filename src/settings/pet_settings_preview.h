#pragma once
// The card that introduces a start-button pet in the Appearance pane: its
// picture, its name, a short description and a quote in its own voice.
#include <QWidget>

#include "taskbar/pet/pet_model.h"

class QLabel;
class PetThumbnail;

class PetSettingsPreview : public QWidget {
    Q_OBJECT
public:
    explicit PetSettingsPreview(StartPet pet, QWidget* parent = nullptr);

    StartPet pet() const { return pet_; }
    // The English texts (the localisation keys) of a pet's card.
    static const char* name(StartPet pet);
    static const char* description(StartPet pet);
    static const char* quote(StartPet pet);

    QLabel* nameLabel() const { return name_; }
    QLabel* descriptionLabel() const { return description_; }
    QLabel* quoteLabel() const { return quote_; }

    // Sets the texts again in the language chosen now.
    void retranslate();

private:
    StartPet pet_;
    PetThumbnail* thumbnail_ = nullptr;
    QLabel* name_ = nullptr;
    QLabel* description_ = nullptr;
    QLabel* quote_ = nullptr;
};
