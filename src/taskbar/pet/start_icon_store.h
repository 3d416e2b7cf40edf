#pragma once
// What the start button shows besides a symbol: a pet, or a custom picture
// clipped to a shape. A pet and the custom picture are never active together.
// The choices live in the user defaults; the picture is a PNG file in the
// user's application-support folder.
#include <QImage>
#include <QObject>
#include <QString>
#include <memory>
#include <optional>

#include "core/settings_model.h"
#include "taskbar/pet/pet_model.h"

namespace platform::prefs {
class Domain;
}

class StartIconStore : public QObject {
    Q_OBJECT
public:
    static inline const QString fileName = QStringLiteral("startIcon.png");
    static inline const QString folderName = QStringLiteral("Sunquil");

    // The shared instance over the application's user defaults.
    static StartIconStore& shared();
    static void resetShared();

    // Loads the state from `defaults`; writes nothing. `applicationSupport`
    // names the application-support folder (empty: the user's own).
    explicit StartIconStore(platform::prefs::Domain& defaults, QString applicationSupport = {});

    std::optional<StartPet> pet() const { return pet_; }
    bool useCustom() const { return useCustom_; }
    StartIconShape shape() const { return shape_; }
    const std::optional<QImage>& customImage() const { return customImage_; }

    void setPet(std::optional<StartPet> pet);
    void setUseCustom(bool useCustom);
    void setShape(StartIconShape shape);
    void setCustomImageValue(std::optional<QImage> image);  // publishes only

    // Stores the picture with its clip shape and switches the face to it.
    // Beeps and changes nothing when it cannot be written.
    void setCustomImage(const QImage& image, StartIconShape shape);
    // Deletes the picture and switches the custom picture off.
    void clearCustomImage();

    // The picture's location; none without an application-support folder.
    std::optional<QString> customImageURL(bool createFolder) const;
    // The user's application-support folder: "$QUORVEL_HOME/Application
    // Support", else the XDG data home.
    static QString defaultApplicationSupport();

signals:
    void petChanged();
    void useCustomChanged();
    void shapeChanged();
    void customImageChanged();
    // Any of the four above.
    void changed();

private:
    std::optional<QImage> loadCustomImage() const;

    platform::prefs::Domain& defaults_;
    QString applicationSupport_;
    std::optional<StartPet> pet_;
    std::optional<QImage> customImage_;
    bool useCustom_ = false;
    StartIconShape shape_ = StartIconShape::roundedSquare;
};
