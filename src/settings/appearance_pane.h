#pragma once
// The Appearance pane: the bar's height, the theme, the selection colour and
// the transparency; the start button's face (four symbols, three pets or a
// custom picture placed in the crop sheet) with the pet's options and the
// picture's mask; and the tray clock's three switches. Every control writes
// its setting at once and the bars and the start menu follow; a theme change
// also sets the application's appearance, a height change also tells the
// application to rebuild its bars.
#include <QAbstractButton>
#include <QImage>
#include <QPointer>
#include <QStringList>
#include <QUuid>
#include <functional>
#include <map>
#include <optional>

#include "core/settings_model.h"
#include "settings/settings_pane.h"
#include "settings/start_icon_crop_sheet.h"
#include "taskbar/pet/pet_model.h"

class QCheckBox;
class QComboBox;
class QFormLayout;
class QSlider;
class QVBoxLayout;
class PetSettingsPreview;
class SettingBinding;
class StartIconStore;

// One selection-colour swatch: a disc of the colour, a checkmark and a ring
// while it is the chosen one, and a "Neo" badge under the four theme colours.
class SelectionSwatch : public QAbstractButton {
    Q_OBJECT
public:
    explicit SelectionSwatch(SelectionColor selection, QWidget* parent = nullptr);

    SelectionColor selection() const { return selection_; }
    bool isSelected() const { return isChecked(); }
    void setSelected(bool selected);

    // Black in the dark scheme and on cyber ginger, white otherwise.
    static QColor checkmarkColor(SelectionColor selection, bool dark);
    // lightGray, blush, cyberGinger and deepPurple carry the theme's "Neo" badge.
    static bool hasNeoBadge(SelectionColor selection);
    // The swatch's tooltip and spoken name (an English key): the theme's
    // name for the four theme colours, else the colour's display name.
    static QString helpKey(SelectionColor selection);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    // A click never checks or unchecks by itself: the setting decides.
    void nextCheckState() override {}

private:
    SelectionColor selection_;
};

// A tile of the start-button chooser: its content on a rounded square,
// tinted and outlined in the accent colour while selected.
class IconTile : public QAbstractButton {
    Q_OBJECT
public:
    using Content = std::function<void(QPainter&, const QRectF& frame, const QPalette& palette)>;
    explicit IconTile(Content content, QWidget* parent = nullptr);

    bool isSelected() const { return selected_; }
    void setSelected(bool selected);
    // Tiles that are spoken as "selected" while they are (the pets').
    void setAnnouncesSelection(bool announces);

    QSize sizeHint() const override { return {34, 28}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    // A click never checks or unchecks by itself: the store decides.
    void nextCheckState() override {}

private:
    Content content_;
    bool selected_ = false;
};

// The "Clock" section: the tray's time, date and battery switches.
class ClockSettings {
public:
    ClockSettings(SettingsPane& pane, QFormLayout* section);
    QCheckBox* showTime = nullptr;
    QCheckBox* showDate = nullptr;
    QCheckBox* showBattery = nullptr;
};

class AppearancePane : public SettingsPane {
    Q_OBJECT
public:
    // A picture just picked, waiting in the crop sheet; a fresh id per pick.
    struct PickedImage {
        QUuid id;
        QImage image;
    };

    // Edits `iconStore`, or the shared start-icon store when none is given.
    explicit AppearancePane(StartIconStore* iconStore = nullptr, QWidget* parent = nullptr);
    ~AppearancePane() override;

    // The symbols the chooser offers, in order.
    static const QStringList& iconSymbols();
    // The swatches' order in their row.
    static const std::vector<SelectionColor>& swatchOrder();

    // The transparency slider's position (1 to 3) for a stored level: 1 and 2
    // are "Opaque", 4 and 5 "Transparent", anything else the middle.
    static int transparencySliderValue(qint64 level);
    // The level a slider position stores: rounded half away from zero, then
    // 1, 3 or 5.
    static qint64 transparencyLevel(double sliderValue);
    void setTransparencySliderValue(double value);

    void selectColor(SelectionColor selection);
    // The application's appearance from "appearanceMode": light for light
    // and the light neo themes, dark for dark and neo indigo, none otherwise.
    static void applyAppearance();
    static void postBarHeightChanged();

    // The chooser's actions.
    void selectSymbol(const QString& name);
    void selectPet(StartPet pet);
    void useCustomImage();
    void removeCustomImage();
    void pickImage();

    // The open panel: one image file. Tests put a chooser in its place (an
    // empty one goes back to the panel).
    using ImageChooser = std::function<std::optional<QImage>()>;
    static void setImageChooser(ImageChooser chooser);
    std::optional<QImage> chooseImage();
    // Reads an image file (bounded); none when it is not a readable image.
    static std::optional<QImage> readImageFile(const QString& path);
    // The open panel's file filter: "Images" in the chosen language and the
    // patterns of every readable image format.
    static QString imageFileFilter();

    // The crop sheet for a picked picture, and its two answers.
    StartIconCropSheet* cropSheet(const PickedImage& item);
    void useCroppedImage(const QImage& image, StartIconShape shape);
    void cancelCrop();
    const std::optional<PickedImage>& picked() const { return picked_; }
    // The sheet while one is open.
    StartIconCropSheet* presentedCropSheet() const { return sheet_; }

    StartIconStore& iconStore() const { return iconStore_; }
    QComboBox* barHeightPicker() const { return barHeight_; }
    QComboBox* themePicker() const { return theme_; }
    QSlider* transparencySlider() const { return transparency_; }
    SelectionSwatch* swatch(SelectionColor selection) const;
    IconTile* symbolTile(const QString& name) const;
    IconTile* petTile(StartPet pet) const;
    IconTile* chooseTile() const { return chooseTile_; }
    IconTile* customImageTile() const { return customTile_; }
    QAbstractButton* removeButton() const { return remove_; }
    // The preview card while a pet is the face, else null.
    PetSettingsPreview* petPreview() const { return preview_; }
    QCheckBox* followPointerSwitch() const { return followPointer_; }
    QCheckBox* idleMotionSwitch() const { return idleMotion_; }
    QWidget* shapePicker() const { return shapePicker_; }
    QAbstractButton* shapeButton(StartIconShape shape) const;
    const ClockSettings& clock() const { return *clock_; }
    // A row of the start-button section is shown (the pet rows, the shape row).
    bool isRowShown(QWidget* field) const;

private:
    void buildLookSection();
    void buildStartButtonSection();
    QWidget* buildIconChooser();
    void showStartButton();
    void presentCropSheet();
    void closeCropSheet(bool clearPicked = true);
    bool isDark() const;

    StartIconStore& iconStore_;
    std::optional<PickedImage> picked_;
    QPointer<StartIconCropSheet> sheet_;

    QComboBox* barHeight_ = nullptr;
    QComboBox* theme_ = nullptr;
    QSlider* transparency_ = nullptr;
    SettingBinding* transparencyBinding_ = nullptr;
    SettingBinding* colorBinding_ = nullptr;
    SettingBinding* symbolBinding_ = nullptr;
    std::map<SelectionColor, SelectionSwatch*> swatches_;
    std::map<QString, IconTile*> symbolTiles_;
    std::map<StartPet, IconTile*> petTiles_;
    IconTile* chooseTile_ = nullptr;
    IconTile* customTile_ = nullptr;
    QWidget* customPicture_ = nullptr;
    QAbstractButton* remove_ = nullptr;
    QFormLayout* startForm_ = nullptr;
    QWidget* previewRow_ = nullptr;
    QVBoxLayout* previewHolder_ = nullptr;
    PetSettingsPreview* preview_ = nullptr;
    QCheckBox* followPointer_ = nullptr;
    QCheckBox* idleMotion_ = nullptr;
    QWidget* shapePicker_ = nullptr;
    std::map<StartIconShape, QAbstractButton*> shapeButtons_;
    std::unique_ptr<ClockSettings> clock_;
    int appearanceObserver_ = 0;
};
