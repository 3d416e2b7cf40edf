#pragma once
// A still picture of a pet in its neutral pose, sized by its container: the
// settings' preview of each pet.
#include <QWidget>
#include <optional>

#include "taskbar/pet/pet_model.h"

class PetThumbnail : public QWidget {
    Q_OBJECT
public:
    explicit PetThumbnail(StartPet pet, QWidget* parent = nullptr);

    StartPet pet() const { return pet_; }
    void setPet(StartPet pet);
    // Light or dark regardless of the application's appearance; absent
    // follows the application.
    void setColorScheme(std::optional<bool> dark);
    bool isDark() const;

    // The pet's spoken name, e.g. "Duvar the cat".
    static QString accessibleNameOf(StartPet pet);
    // Draws the neutral pose fitted into `size`: centred across, 2 units of
    // the fitted scale from the top.
    static void drawPet(QPainter& painter, QSizeF size, StartPet pet, bool isDark);

    QSize sizeHint() const override { return {68, 60}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    StartPet pet_;
    std::optional<bool> dark_;
    int appearanceObserver_ = 0;
};
