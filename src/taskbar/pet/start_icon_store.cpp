#include "taskbar/pet/start_icon_store.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageWriter>
#include <QStandardPaths>

#include "platform/files.h"
#include "platform/platform.h"

namespace {

// A start-button picture is written by us at a few hundred points a side.
constexpr qint64 maximumCustomImageFileSize = 32LL * 1024 * 1024;

namespace keys = settings::keys;

platform::SharedInstance<StartIconStore>& sharedSlot() {
    static platform::SharedInstance<StartIconStore> slot;
    return slot;
}

bool sameImage(const std::optional<QImage>& a, const std::optional<QImage>& b) {
    if (a.has_value() != b.has_value()) return false;
    return !a || *a == *b;
}

}  // namespace

StartIconStore& StartIconStore::shared() {
    return *sharedSlot().get([] { return std::make_shared<StartIconStore>(platform::prefs::userDefaults()); });
}

void StartIconStore::resetShared() { sharedSlot().reset(); }

QString StartIconStore::defaultApplicationSupport() {
    const QString home = qEnvironmentVariable("QUORVEL_HOME");
    if (!home.isEmpty()) return QDir(home).filePath(QStringLiteral("Application Support"));
    QString data = qEnvironmentVariable("XDG_DATA_HOME");
    if (data.isEmpty()) data = QDir::home().filePath(QStringLiteral(".local/share"));
    return data;
}

StartIconStore::StartIconStore(platform::prefs::Domain& defaults, QString applicationSupport)
    : defaults_(defaults),
      applicationSupport_(applicationSupport.isEmpty() ? defaultApplicationSupport() : std::move(applicationSupport)) {
    const std::optional<QImage> picture = loadCustomImage();
    if (auto raw = defaults_.stringValue(keys::appearanceStartPet)) pet_ = startPetFromRawValue(*raw);
    shape_ = StartIconShape::roundedSquare;
    if (auto raw = defaults_.stringValue(keys::appearanceStartIconShape))
        shape_ = fromRawValue<StartIconShape>(*raw).value_or(StartIconShape::roundedSquare);
    customImage_ = picture;
    useCustom_ = !pet_ && picture && defaults_.boolValue(keys::appearanceStartIconUseCustom).value_or(false);
}

std::optional<QString> StartIconStore::customImageURL(bool createFolder) const {
    // The application-support folder itself is made when missing, as the
    // system's file manager does when asked for it.
    QDir support(applicationSupport_);
    // Folders of the user's own, whatever the umask.
    if (applicationSupport_.isEmpty() || !platform::makeFolders(applicationSupport_, 0700)) return std::nullopt;
    const QString folder = support.filePath(folderName);
    if (createFolder) platform::makeFolders(folder, 0700);
    return QDir(folder).filePath(fileName);
}

std::optional<QImage> StartIconStore::loadCustomImage() const {
    if (!defaults_.stringValue(keys::appearanceStartIconCustomName)) return std::nullopt;
    const auto url = customImageURL(false);
    if (!url) return std::nullopt;
    // Read with a bound: a device or FIFO in its place must not stall the start.
    QByteArray bytes;
    if (platform::readBoundedFile(*url, maximumCustomImageFileSize, &bytes) != platform::ReadOutcome::ok)
        return std::nullopt;
    QImage image;
    if (!image.loadFromData(bytes) || image.isNull()) return std::nullopt;
    return image;
}

void StartIconStore::setPet(std::optional<StartPet> pet) {
    const auto previous = pet_;
    pet_ = pet;
    if (previous == pet_) return;
    emit petChanged();
    emit changed();
    if (pet_) defaults_.setString(keys::appearanceStartPet, rawValue(*pet_));
    else defaults_.remove(keys::appearanceStartPet);
    if (pet_) setUseCustom(false);
}

void StartIconStore::setUseCustom(bool useCustom) {
    const bool previous = useCustom_;
    useCustom_ = useCustom;
    if (previous == useCustom_) return;
    emit useCustomChanged();
    emit changed();
    defaults_.setBool(keys::appearanceStartIconUseCustom, useCustom_);
    if (useCustom_ && pet_) setPet(std::nullopt);
}

void StartIconStore::setShape(StartIconShape shape) {
    const auto previous = shape_;
    shape_ = shape;
    if (previous == shape_) return;
    emit shapeChanged();
    emit changed();
    defaults_.setString(keys::appearanceStartIconShape, rawValue(shape_));
}

void StartIconStore::setCustomImageValue(std::optional<QImage> image) {
    const bool same = sameImage(customImage_, image);
    customImage_ = std::move(image);
    if (same) return;
    emit customImageChanged();
    emit changed();
}

// The picture is written to a temporary file beside the old one and renamed
// over it, so a failed or interrupted write leaves the previous picture whole.
void StartIconStore::setCustomImage(const QImage& image, StartIconShape shape) {
    const auto url = customImageURL(true);
    if (!url) {
        platform::alerts().beep();
        return;
    }
    QByteArray png;
    {
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "png");
        if (image.isNull() || !writer.write(image)) {
            platform::alerts().beep();
            return;
        }
    }
    QString error;
    if (!platform::replaceFile(*url, png, 0600, &error)) {
        platform::log(QStringLiteral("Quorvel: 写自定义开始图标失败 ") + error);
        platform::alerts().beep();
        return;
    }
    defaults_.setString(keys::appearanceStartIconCustomName, fileName);
    setShape(shape);
    QByteArray bytes;
    QImage decoded;
    if (platform::readBoundedFile(*url, maximumCustomImageFileSize, &bytes) == platform::ReadOutcome::ok &&
        decoded.loadFromData(bytes) && !decoded.isNull())
        setCustomImageValue(decoded);
    else setCustomImageValue(image);
    setUseCustom(true);
}

void StartIconStore::clearCustomImage() {
    if (const auto url = customImageURL(false)) QFile::remove(*url);
    defaults_.remove(keys::appearanceStartIconCustomName);
    setCustomImageValue(std::nullopt);
    setUseCustom(false);
}
