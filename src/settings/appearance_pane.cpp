#include "settings/appearance_pane.h"

#include <QBuffer>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QFrame>
#include <QHBoxLayout>
#include <QImageReader>
#include <QLabel>
#include <QPainter>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>
#include <cmath>

#include "core/localization.h"
#include "core/selection_color.h"
#include "platform/application.h"
#include "platform/files.h"
#include "platform/notification_center.h"
#include "platform/platform.h"
#include "settings/pet_settings_preview.h"
#include "settings/raw_picker.h"
#include "settings/settings_bindings.h"
#include "settings/settings_symbols.h"
#include "settings/start_icon_crop_sheet.h"
#include "taskbar/pet/pet_thumbnail.h"
#include "taskbar/pet/start_icon_store.h"
#include "taskbar/symbol_painter.h"
#include "windows/bar_metrics.h"

namespace keys = settings::keys;

namespace {

bool darkScheme() {
    return platform::isInstalled() &&
           platform::application().effectiveAppearance() == platform::Appearance::darkAqua;
}

QColor accentColor() {
    QColor accent = platform::isInstalled() ? platform::application().accentColor() : QColor();
    if (!accent.isValid()) accent = QColor(0, 122, 255);
    accent.setAlphaF(1.0f);
    return accent;
}

QColor withAlpha(QColor c, double alpha) {
    c.setAlphaF(float(alpha));
    return c;
}

AppearancePane::ImageChooser& imageChooser() {
    static AppearancePane::ImageChooser chooser;
    return chooser;
}

// Pictures larger than this are not read.
constexpr qint64 maximumImageFileBytes = 64 * 1024 * 1024;

}  // namespace

// ---- swatch -------------------------------------------------------------------

SelectionSwatch::SelectionSwatch(SelectionColor selection, QWidget* parent)
    : QAbstractButton(parent), selection_(selection) {
    setObjectName(rawValue(selection));
    // Checked is "selected" to assistive technology.
    setCheckable(true);
    setFocusPolicy(Qt::TabFocus);
    setFixedSize(sizeHint());
}

void SelectionSwatch::setSelected(bool selected) {
    const QSignalBlocker block(this);
    setChecked(selected);
    update();
}

QColor SelectionSwatch::checkmarkColor(SelectionColor selection, bool dark) {
    return (dark || selection == SelectionColor::cyberGinger) ? QColor(Qt::black) : QColor(Qt::white);
}

bool SelectionSwatch::hasNeoBadge(SelectionColor selection) {
    switch (selection) {
        case SelectionColor::lightGray:
        case SelectionColor::blush:
        case SelectionColor::cyberGinger:
        case SelectionColor::deepPurple: return true;
        default: return false;
    }
}

QString SelectionSwatch::helpKey(SelectionColor selection) {
    switch (selection) {
        case SelectionColor::lightGray: return QStringLiteral("Neo Silver");
        case SelectionColor::blush: return QStringLiteral("Neo Blush");
        case SelectionColor::cyberGinger: return QStringLiteral("Neo Citrus");
        case SelectionColor::deepPurple: return QStringLiteral("Neo Indigo");
        default: return selection_color::displayName(selection);
    }
}

QSize SelectionSwatch::sizeHint() const { return {28, 44}; }

void SelectionSwatch::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const bool dark = darkScheme();
    const QColor primary = palette().color(QPalette::WindowText);
    // The disc: 22 points with 3 points around it; the ring on the padded disc.
    const QRectF ring(0, 0, 28, 28);
    const QRectF disc = ring.adjusted(3, 3, -3, -3);
    p.setPen(Qt::NoPen);
    p.setBrush(selection_color::color(selection_, dark ? platform::Appearance::darkAqua : platform::Appearance::aqua));
    p.drawEllipse(disc);
    if (isSelected()) {
        settings_symbols::paint(p, QStringLiteral("checkmark"), QRectF(disc.center() - QPointF(5, 5), QSizeF(10, 10)),
                                checkmarkColor(selection_, dark), true);
        p.setPen(QPen(primary, 1.5));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(ring.adjusted(0.75, 0.75, -0.75, -0.75));
    }
    if (hasNeoBadge(selection_)) {
        QFont f = font();
        f.setPixelSize(8);
        f.setWeight(QFont::DemiBold);
        p.setFont(f);
        const QString neo = QStringLiteral("Neo");
        const double textWidth = QFontMetricsF(f).horizontalAdvance(neo);
        const double h = QFontMetricsF(f).height();
        const QRectF badge((28 - textWidth - 6) / 2, 30, textWidth + 6, h);
        p.setPen(Qt::NoPen);
        p.setBrush(withAlpha(primary, 0.08));
        p.drawRoundedRect(badge, h / 2, h / 2);
        p.setPen(palette().color(QPalette::PlaceholderText));
        p.drawText(badge, Qt::AlignCenter, neo);
    }
    if (hasFocus()) {
        p.setPen(QPen(withAlpha(accentColor(), 0.6), 2));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(ring.adjusted(1, 1, -1, -1));
    }
}

// ---- tile ---------------------------------------------------------------------

IconTile::IconTile(Content content, QWidget* parent) : QAbstractButton(parent), content_(std::move(content)) {
    setFocusPolicy(Qt::TabFocus);
    setFixedSize(sizeHint());
}

void IconTile::setSelected(bool selected) {
    selected_ = selected;
    if (isCheckable()) {
        const QSignalBlocker block(this);
        setChecked(selected);
    }
    update();
}

void IconTile::setAnnouncesSelection(bool announces) {
    setCheckable(announces);
    setSelected(selected_);
}

void IconTile::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF frame(0, 0, 34, 28);
    const QColor accent = accentColor();
    const QColor primary = palette().color(QPalette::WindowText);
    p.setPen(Qt::NoPen);
    p.setBrush(selected_ ? withAlpha(accent, 0.25) : withAlpha(primary, 0.06));
    p.drawRoundedRect(frame, 6, 6);
    if (selected_ || hasFocus()) {
        p.setPen(QPen(selected_ ? accent : withAlpha(accent, 0.5), 1.5));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(frame.adjusted(0.75, 0.75, -0.75, -0.75), 6, 6);
    }
    if (content_) content_(p, frame, palette());
}

// ---- clock --------------------------------------------------------------------

ClockSettings::ClockSettings(SettingsPane& pane, QFormLayout* section) {
    struct Row {
        QCheckBox** box;
        const QString& key;
        const char* title;
    };
    const Row rows[] = {{&showTime, keys::trayShowTime, "Show time"},
                        {&showDate, keys::trayShowDate, "Show date"},
                        {&showBattery, keys::trayShowBattery, "Show battery"}};
    for (const Row& row : rows) {
        *row.box = pane.translated(new QCheckBox, row.title);
        (*row.box)->setObjectName(row.key);
        section->addRow(*row.box);
        bindSwitch(*row.box, row.key);
    }
}

// ---- pane ---------------------------------------------------------------------

AppearancePane::AppearancePane(StartIconStore* iconStore, QWidget* parent)
    : SettingsPane(parent), iconStore_(iconStore ? *iconStore : StartIconStore::shared()) {
    buildLookSection();
    buildStartButtonSection();
    clock_ = std::make_unique<ClockSettings>(*this, addSection("Clock"));

    // The swatches and tiles are drawn for the scheme in effect.
    appearanceObserver_ = platform::application().addObserver([self = QPointer<AppearancePane>(this)] {
        if (!self) return;
        for (auto& [c, swatch] : self->swatches_) swatch->update();
        for (auto* tile : self->findChildren<IconTile*>()) tile->update();
    });
}

AppearancePane::~AppearancePane() {
    if (appearanceObserver_ && platform::isInstalled()) platform::application().removeObserver(appearanceObserver_);
}

const QStringList& AppearancePane::iconSymbols() {
    static const QStringList names{QStringLiteral("square.grid.2x2.fill"), QStringLiteral("square.grid.3x3.fill"),
                                   QStringLiteral("circle.grid.3x3.fill"), QStringLiteral("square.stack.fill")};
    return names;
}

const std::vector<SelectionColor>& AppearancePane::swatchOrder() {
    using C = SelectionColor;
    static const std::vector<SelectionColor> order{C::lightGray, C::blush, C::cyberGinger, C::deepPurple, C::darkGray,
                                                   C::blue,      C::burgundy, C::cyan,       C::terminalGreen, C::amber};
    return order;
}

void AppearancePane::buildLookSection() {
    QFormLayout* form = addSection();

    barHeight_ = new QComboBox;
    barHeight_->setObjectName(keys::appearanceBarHeight);
    barHeight_->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
    form->addRow(translated(new QLabel, "Taskbar height"), barHeight_);
    bindRawPicker(barHeight_, keys::appearanceBarHeight,
                  {{QStringLiteral("narrow"), "Short"}, {QStringLiteral("medium"), "Medium"}, {QStringLiteral("tall"), "Tall"}},
                  [](const QString&) { postBarHeightChanged(); });

    theme_ = new QComboBox;
    theme_->setObjectName(keys::appearanceMode);
    theme_->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
    form->addRow(translated(new QLabel, "Theme"), theme_);
    bindRawPicker(theme_, keys::appearanceMode,
                  {{QStringLiteral("system"), "Follow System"},
                   {QStringLiteral("light"), "Light"},
                   {QStringLiteral("dark"), "Dark"},
                   {QStringLiteral("neoSilver"), "Neo Silver"},
                   {QStringLiteral("neoBlush"), "Neo Blush"},
                   {QStringLiteral("neoCitrus"), "Neo Citrus"},
                   {QStringLiteral("neoIndigo"), "Neo Indigo"}},
                  [](const QString&) { applyAppearance(); });
    theme_->insertSeparator(3);

    auto* swatchRow = new QWidget;
    swatchRow->setObjectName(keys::appearanceSelectionColor);
    auto* swatches = new QHBoxLayout(swatchRow);
    swatches->setContentsMargins(0, 0, 0, 0);
    swatches->setSpacing(6);
    for (SelectionColor c : swatchOrder()) {
        auto* swatch = new SelectionSwatch(c, swatchRow);
        swatches->addWidget(swatch, 0, Qt::AlignTop);
        swatches_[c] = swatch;
        connect(swatch, &QAbstractButton::clicked, this, [this, c] { selectColor(c); });
        onRetranslate([swatch, c] {
            const QString help = tr_(SelectionSwatch::helpKey(c).toUtf8().constData());
            swatch->setToolTip(help);
            swatch->setAccessibleName(help);
        });
    }
    swatches->addStretch(1);
    form->addRow(translated(new QLabel, "Selection color"), swatchRow);
    // A text that names no colour marks the default, the colour drawn in its place.
    colorBinding_ = new SettingBinding(
        swatchRow, keys::appearanceSelectionColor, [] { return QVariant(settings::readString(keys::appearanceSelectionColor)); },
        [](const QVariant& v) { platform::prefs::userDefaults().setString(keys::appearanceSelectionColor, v.toString()); },
        [this](const QVariant& v) {
            const QString shown = fromRawValue<SelectionColor>(v.toString())
                                      ? v.toString()
                                      : settings::defaultString(keys::appearanceSelectionColor);
            for (auto& [c, swatch] : swatches_) swatch->setSelected(rawValue(c) == shown);
        },
        {});

    auto* transparencyRow = new QWidget;
    auto* column = new QVBoxLayout(transparencyRow);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(2);
    transparency_ = new QSlider(Qt::Horizontal);
    transparency_->setObjectName(keys::appearanceTransparency);
    transparency_->setRange(1, 3);
    transparency_->setSingleStep(1);
    transparency_->setPageStep(1);
    transparency_->setTickPosition(QSlider::TicksBelow);
    transparency_->setTickInterval(1);
    column->addWidget(transparency_);
    auto* ends = new QHBoxLayout;
    auto* opaque = translated(new QLabel, "Opaque");
    auto* clear = translated(new QLabel, "Transparent");
    for (QLabel* end : {opaque, clear}) {
        QFont f = end->font();
        f.setPixelSize(11);
        end->setFont(f);
        end->setForegroundRole(QPalette::PlaceholderText);
    }
    ends->addWidget(opaque);
    ends->addStretch(1);
    ends->addWidget(clear);
    column->addLayout(ends);
    form->addRow(translated(new QLabel, "Transparency"), transparencyRow);
    transparencyBinding_ = new SettingBinding(
        transparency_, keys::appearanceTransparency,
        [] { return QVariant(transparencySliderValue(settings::readInteger(keys::appearanceTransparency))); },
        [](const QVariant& v) {
            platform::prefs::userDefaults().setInteger(keys::appearanceTransparency, transparencyLevel(v.toDouble()));
        },
        [this](const QVariant& v) { transparency_->setValue(v.toInt()); }, {});
    connect(transparency_, &QSlider::valueChanged, transparencyBinding_, [this](int v) {
        transparencyBinding_->userChose(QVariant(v));
    });
}

int AppearancePane::transparencySliderValue(qint64 level) {
    if (level == 1 || level == 2) return 1;
    if (level == 4 || level == 5) return 3;
    return 2;
}

qint64 AppearancePane::transparencyLevel(double sliderValue) {
    // std::round rounds halves away from zero.
    const double rounded = std::isfinite(sliderValue) ? std::round(sliderValue) : 2;
    const int index = int(std::clamp(rounded - 1, 0.0, 2.0));
    return qint64(1 + 2 * index);
}

void AppearancePane::setTransparencySliderValue(double value) {
    transparencyBinding_->userChose(QVariant(transparencySliderValue(transparencyLevel(value))));
}

void AppearancePane::selectColor(SelectionColor selection) { colorBinding_->userChose(rawValue(selection)); }

void AppearancePane::applyAppearance() {
    const auto mode = fromRawValue<AppearanceMode>(settings::readString(keys::appearanceMode));
    platform::application().setAppearance(appearanceFor(mode.value_or(AppearanceMode::system)));
}

void AppearancePane::postBarHeightChanged() {
    platform::NotificationCenter::defaultCenter().post(BarMetrics::barHeightChangedNotification());
}

bool AppearancePane::isDark() const { return darkScheme(); }

// ---- start button -------------------------------------------------------------

void AppearancePane::buildStartButtonSection() {
    startForm_ = addSection("Start Button");
    startForm_->addRow(translated(new QLabel, "Icon"), buildIconChooser());

    previewRow_ = new QWidget;
    previewHolder_ = new QVBoxLayout(previewRow_);
    previewHolder_->setContentsMargins(0, 0, 0, 0);
    startForm_->addRow(previewRow_);

    followPointer_ = translated(new QCheckBox, "Follow the pointer");
    followPointer_->setObjectName(keys::appearancePetFollowsPointer);
    startForm_->addRow(followPointer_);
    bindSwitch(followPointer_, keys::appearancePetFollowsPointer);
    idleMotion_ = translated(new QCheckBox, "Idle animations");
    idleMotion_->setObjectName(keys::appearancePetIdleMotion);
    startForm_->addRow(idleMotion_);
    bindSwitch(idleMotion_, keys::appearancePetIdleMotion);

    // A segmented control over the store's shape.
    shapePicker_ = new QWidget;
    shapePicker_->setObjectName(QStringLiteral("shape"));
    auto* segments = new QHBoxLayout(shapePicker_);
    segments->setContentsMargins(0, 0, 0, 0);
    segments->setSpacing(0);
    auto* group = new QButtonGroup(shapePicker_);
    struct Option {
        StartIconShape shape;
        const char* title;
    };
    for (const Option o : {Option{StartIconShape::square, "Square"}, Option{StartIconShape::roundedSquare, "Rounded square"},
                           Option{StartIconShape::circle, "Circle"}}) {
        auto* button = translated(new QToolButton, o.title);
        button->setObjectName(rawValue(o.shape));
        button->setCheckable(true);
        group->addButton(button);
        segments->addWidget(button);
        shapeButtons_[o.shape] = button;
        connect(button, &QToolButton::clicked, this, [this, shape = o.shape] { iconStore_.setShape(shape); });
    }
    segments->addStretch(1);
    startForm_->addRow(translated(new QLabel, "Shape"), shapePicker_);

    connect(&iconStore_, &StartIconStore::changed, this, &AppearancePane::showStartButton);
    symbolBinding_->onShown([this](const QVariant&) { showStartButton(); });
}

QWidget* AppearancePane::buildIconChooser() {
    auto* chooser = new QWidget;
    chooser->setObjectName(QStringLiteral("iconChooser"));
    auto* row = new QHBoxLayout(chooser);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(8);
    auto divider = [&] {
        auto* line = new QFrame(chooser);
        line->setFrameShape(QFrame::VLine);
        line->setFrameShadow(QFrame::Plain);
        line->setFixedHeight(24);
        line->setForegroundRole(QPalette::Mid);
        row->addWidget(line, 0, Qt::AlignVCenter);
    };
    for (const QString& name : iconSymbols()) {
        auto* tile = new IconTile(
            [name](QPainter& p, const QRectF& frame, const QPalette& palette) {
                const QSizeF size = symbols::SymbolPainter::sizeForFontSize(name, 15);
                const QRectF box(frame.center().x() - size.width() / 2, frame.center().y() - size.height() / 2,
                                 size.width(), size.height());
                symbols::SymbolPainter::paint(p, name, box, palette.color(QPalette::WindowText));
            },
            chooser);
        tile->setObjectName(name);
        row->addWidget(tile, 0, Qt::AlignVCenter);
        symbolTiles_[name] = tile;
        connect(tile, &QAbstractButton::clicked, this, [this, name] { selectSymbol(name); });
    }
    divider();
    for (StartPet pet : allStartPets) {
        auto* tile = new IconTile(
            [this, pet](QPainter& p, const QRectF& frame, const QPalette&) {
                p.save();
                p.translate(frame.center().x() - 14, frame.center().y() - 12);
                PetThumbnail::drawPet(p, QSizeF(28, 24), pet, isDark());
                p.restore();
            },
            chooser);
        tile->setObjectName(rawValue(pet));
        tile->setAnnouncesSelection(true);
        onRetranslate([tile, pet] {
            tile->setToolTip(PetThumbnail::accessibleNameOf(pet));
            tile->setAccessibleName(PetThumbnail::accessibleNameOf(pet));
        });
        row->addWidget(tile, 0, Qt::AlignVCenter);
        petTiles_[pet] = tile;
        connect(tile, &QAbstractButton::clicked, this, [this, pet] { selectPet(pet); });
    }
    divider();

    chooseTile_ = new IconTile(
        [](QPainter& p, const QRectF& frame, const QPalette& palette) {
            settings_symbols::paint(p, QStringLiteral("plus"), QRectF(frame.center() - QPointF(6.5, 6.5), QSizeF(13, 13)),
                                    palette.color(QPalette::PlaceholderText));
        },
        chooser);
    chooseTile_->setObjectName(QStringLiteral("chooseImage"));
    onRetranslate([this] { chooseTile_->setToolTip(tr_("Choose image…")); });
    connect(chooseTile_, &QAbstractButton::clicked, this, &AppearancePane::pickImage);
    row->addWidget(chooseTile_, 0, Qt::AlignVCenter);

    // The picture's tile with its remove control on the top-trailing corner.
    customPicture_ = new QWidget(chooser);
    customPicture_->setFixedSize(34 + 5, 28 + 5);
    customTile_ = new IconTile(
        [this](QPainter& p, const QRectF& frame, const QPalette&) {
            const auto& image = iconStore_.customImage();
            if (!image || image->isNull()) return;
            const QRectF box(frame.center().x() - 11, frame.center().y() - 11, 22, 22);
            p.save();
            p.setClipPath(startIconMask(iconStore_.shape(), box));
            p.setRenderHint(QPainter::SmoothPixmapTransform);
            // Filled: the shorter side fits, the rest is cut.
            const QSizeF size = image->deviceIndependentSize();
            const double s = std::max(22 / std::max(1.0, size.width()), 22 / std::max(1.0, size.height()));
            const QSizeF drawn(size.width() * s, size.height() * s);
            p.drawImage(QRectF(box.center() - QPointF(drawn.width() / 2, drawn.height() / 2), drawn), *image);
            p.restore();
        },
        customPicture_);
    customTile_->setObjectName(QStringLiteral("customImage"));
    customTile_->move(0, 5);
    connect(customTile_, &QAbstractButton::clicked, this, &AppearancePane::useCustomImage);
    auto* remove = new QToolButton(customPicture_);
    remove->setObjectName(QStringLiteral("removeCustomImage"));
    remove->setAutoRaise(true);
    remove->setFixedSize(14, 14);
    remove->move(34 + 5 - 14, 0);
    remove->setStyleSheet(QStringLiteral("QToolButton { border: none; padding: 0; }"));
    onRetranslate([remove] { remove->setToolTip(tr_("Remove")); });
    connect(remove, &QToolButton::clicked, this, &AppearancePane::removeCustomImage);
    remove_ = remove;
    row->addWidget(customPicture_, 0, Qt::AlignVCenter);
    row->addStretch(1);

    symbolBinding_ = new SettingBinding(
        chooser, keys::appearanceStartIconSymbol, [] { return QVariant(settings::readString(keys::appearanceStartIconSymbol)); },
        [](const QVariant& v) { platform::prefs::userDefaults().setString(keys::appearanceStartIconSymbol, v.toString()); },
        [](const QVariant&) {}, {});
    return chooser;
}

void AppearancePane::showStartButton() {
    const auto pet = iconStore_.pet();
    const bool useCustom = iconStore_.useCustom();
    const bool hasPicture = iconStore_.customImage().has_value();
    // The symbol the bar draws: the default in place of a name it cannot draw.
    const QString symbol = symbols::SymbolPainter::resolvedName(settings::readString(keys::appearanceStartIconSymbol));
    for (auto& [name, tile] : symbolTiles_) tile->setSelected(!pet && !useCustom && symbol == name);
    for (auto& [p, tile] : petTiles_) tile->setSelected(pet == p);
    chooseTile_->setVisible(!hasPicture);
    customPicture_->setVisible(hasPicture);
    customTile_->setSelected(useCustom);
    customTile_->update();
    {
        // The remove control: the cross on a disc of the window's colour.
        QPixmap pixmap(28, 28);
        pixmap.setDevicePixelRatio(2);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(palette().color(QPalette::Window));
        p.drawEllipse(QRectF(0.5, 0.5, 13, 13));
        settings_symbols::paint(p, QStringLiteral("xmark.circle.fill"), QRectF(1, 1, 12, 12),
                                palette().color(QPalette::PlaceholderText));
        p.end();
        remove_->setIcon(QIcon(pixmap));
        remove_->setIconSize(QSize(14, 14));
    }

    // The card is replaced, not updated, when the pet changes.
    if (preview_ && (!pet || preview_->pet() != *pet)) {
        preview_->hide();
        preview_->deleteLater();
        preview_ = nullptr;
    }
    if (pet && !preview_) {
        preview_ = new PetSettingsPreview(*pet, previewRow_);
        previewHolder_->addWidget(preview_);
    }
    startForm_->setRowVisible(previewRow_, pet.has_value());
    startForm_->setRowVisible(followPointer_, pet.has_value());
    startForm_->setRowVisible(idleMotion_, pet.has_value());

    startForm_->setRowVisible(shapePicker_, useCustom && hasPicture);
    for (auto& [shape, button] : shapeButtons_) {
        const QSignalBlocker block(button);
        button->setChecked(shape == iconStore_.shape());
    }
}

bool AppearancePane::isRowShown(QWidget* field) const {
    return field && startForm_->indexOf(field) >= 0 && field->isVisibleTo(const_cast<AppearancePane*>(this));
}

void AppearancePane::selectSymbol(const QString& name) {
    symbolBinding_->userChose(name);
    iconStore_.setUseCustom(false);
    iconStore_.setPet(std::nullopt);
}

void AppearancePane::selectPet(StartPet pet) { iconStore_.setPet(pet); }

void AppearancePane::useCustomImage() { iconStore_.setUseCustom(true); }

void AppearancePane::removeCustomImage() { iconStore_.clearCustomImage(); }

void AppearancePane::pickImage() {
    auto image = chooseImage();
    if (!image) return;
    picked_ = PickedImage{QUuid::createUuid(), *image};
    presentCropSheet();
}

void AppearancePane::setImageChooser(ImageChooser chooser) { imageChooser() = std::move(chooser); }

std::optional<QImage> AppearancePane::chooseImage() {
    if (imageChooser()) return imageChooser()();
    const QString path = QFileDialog::getOpenFileName(this, QString(), QString(), imageFileFilter());
    if (path.isEmpty()) return std::nullopt;
    return readImageFile(path);
}

QString AppearancePane::imageFileFilter() {
    QStringList patterns;
    for (const QByteArray& format : QImageReader::supportedImageFormats())
        patterns << QStringLiteral("*.") + QString::fromLatin1(format);
    return tr_("Images") + QStringLiteral(" (%1)").arg(patterns.join(QLatin1Char(' ')));
}

std::optional<QImage> AppearancePane::readImageFile(const QString& path) {
    QByteArray bytes;
    if (platform::readBoundedFile(path, maximumImageFileBytes, &bytes) != platform::ReadOutcome::ok) return std::nullopt;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    QImage image = reader.read();
    if (image.isNull()) return std::nullopt;
    return image;
}

StartIconCropSheet* AppearancePane::cropSheet(const PickedImage& item) {
    QPointer<AppearancePane> self(this);
    auto* sheet = new StartIconCropSheet(
        item.image, iconStore_.shape(),
        [self](const QImage& image, StartIconShape shape) {
            if (self) self->useCroppedImage(image, shape);
        },
        [self] {
            if (self) self->cancelCrop();
        },
        220, this);
    sheet->setWindowFlag(Qt::Dialog);
    sheet->setLocale(app_language::locale(app_language::current()));
    return sheet;
}

void AppearancePane::presentCropSheet() {
    closeCropSheet(false);
    sheet_ = cropSheet(*picked_);
    sheet_->setWindowModality(Qt::WindowModal);
    sheet_->open();
}

void AppearancePane::useCroppedImage(const QImage& image, StartIconShape shape) {
    iconStore_.setCustomImage(image, shape);
    closeCropSheet();
}

void AppearancePane::cancelCrop() { closeCropSheet(); }

void AppearancePane::closeCropSheet(bool clearPicked) {
    if (clearPicked) picked_.reset();
    if (sheet_) {
        sheet_->hide();
        sheet_->deleteLater();
        sheet_ = nullptr;
    }
}

SelectionSwatch* AppearancePane::swatch(SelectionColor selection) const {
    auto it = swatches_.find(selection);
    return it == swatches_.end() ? nullptr : it->second;
}

IconTile* AppearancePane::symbolTile(const QString& name) const {
    auto it = symbolTiles_.find(name);
    return it == symbolTiles_.end() ? nullptr : it->second;
}

IconTile* AppearancePane::petTile(StartPet pet) const {
    auto it = petTiles_.find(pet);
    return it == petTiles_.end() ? nullptr : it->second;
}

QAbstractButton* AppearancePane::shapeButton(StartIconShape shape) const {
    auto it = shapeButtons_.find(shape);
    return it == shapeButtons_.end() ? nullptr : it->second;
}
