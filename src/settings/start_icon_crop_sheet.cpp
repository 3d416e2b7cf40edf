#include "settings/start_icon_crop_sheet.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "core/localization.h"
#include "platform/alerts.h"
#include "platform/preferences.h"
#include "settings/settings_symbols.h"

QPainterPath startIconMask(StartIconShape shape, const QRectF& box) {
    QPainterPath path;
    switch (shape) {
        case StartIconShape::square: path.addRect(box); break;
        case StartIconShape::roundedSquare: {
            const double r = 0.22 * std::min(box.width(), box.height());
            path.addRoundedRect(box, r, r);
            break;
        }
        case StartIconShape::circle: path.addEllipse(box); break;
    }
    return path;
}

// ---- canvas -------------------------------------------------------------------

StartIconCropCanvas::StartIconCropCanvas(QImage image, double side, double zoom, QSizeF offset, QWidget* parent)
    : QWidget(parent), image_(std::move(image)), side_(side), zoom_(zoom), offset_(offset) {
    setFixedSize(int(std::lround(side)), int(std::lround(side)));
    setCursor(Qt::OpenHandCursor);
}

QSizeF StartIconCropCanvas::pictureSize(const QImage& image) {
    const QSizeF points = image.isNull() ? QSizeF() : image.deviceIndependentSize();
    return {std::max(1.0, points.width()), std::max(1.0, points.height())};
}

double StartIconCropCanvas::scale(QSizeF size, double side, double zoom) {
    const double w = std::max(1.0, size.width()), h = std::max(1.0, size.height());
    return std::max(side / w, side / h) * zoom;
}

QRectF StartIconCropCanvas::pictureRect(QSizeF size, double side, double zoom, QSizeF offset) {
    const double s = scale(size, side, zoom);
    const double w = std::max(1.0, size.width()) * s, h = std::max(1.0, size.height()) * s;
    const QPointF centre(side / 2 + offset.width(), side / 2 + offset.height());
    return {centre.x() - w / 2, centre.y() - h / 2, w, h};
}

void StartIconCropCanvas::paint(QPainter& painter, const QImage& image, double side, double zoom, QSizeF offset) {
    painter.save();
    painter.setClipRect(QRectF(0, 0, side, side), Qt::IntersectClip);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setRenderHint(QPainter::Antialiasing);
    if (!image.isNull())
        painter.drawImage(pictureRect(pictureSize(image), side, zoom, offset), image, QRectF(image.rect()));
    painter.restore();
}

QImage StartIconCropCanvas::render(double pixelScale) const {
    const int edge = int(std::lround(side_ * pixelScale));
    if (edge <= 0) return {};
    QImage out(edge, edge, QImage::Format_ARGB32_Premultiplied);
    if (out.isNull()) return {};
    out.fill(Qt::transparent);
    QPainter painter(&out);
    if (!painter.isActive()) return {};
    painter.scale(pixelScale, pixelScale);
    paint(painter, image_, side_, zoom_, offset_);
    painter.end();
    return out;
}

void StartIconCropCanvas::setZoom(double zoom) {
    zoom_ = zoom;
    update();
}

void StartIconCropCanvas::setOffset(QSizeF offset) {
    offset_ = offset;
    update();
}

void StartIconCropCanvas::setMask(std::optional<StartIconShape> shape) {
    mask_ = shape;
    update();
}

QSize StartIconCropCanvas::sizeHint() const { return {int(std::lround(side_)), int(std::lround(side_))}; }

void StartIconCropCanvas::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box(0, 0, side_, side_);
    if (mask_) painter.setClipPath(startIconMask(*mask_, box));
    paint(painter, image_, side_, zoom_, offset_);
    if (mask_) {
        painter.setClipping(false);
        QColor outline = palette().color(QPalette::PlaceholderText);
        outline.setAlphaF(0.5f);
        painter.setPen(QPen(outline, 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(startIconMask(*mask_, box.adjusted(0.5, 0.5, -0.5, -0.5)));
    }
}

void StartIconCropCanvas::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    pressedAt_ = event->position();
    dragging_ = false;
}

void StartIconCropCanvas::mouseMoveEvent(QMouseEvent* event) {
    if (!pressedAt_) return;
    const QPointF moved = event->position() - *pressedAt_;
    // A drag starts once the pointer went 10 points; it then counts from the press.
    if (!dragging_ && std::hypot(moved.x(), moved.y()) < 10) return;
    if (!dragging_) setCursor(Qt::ClosedHandCursor);
    dragging_ = true;
    if (onDragChanged) onDragChanged(QSizeF(moved.x(), moved.y()));
}

void StartIconCropCanvas::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !pressedAt_) return;
    pressedAt_.reset();
    if (!dragging_) return;
    dragging_ = false;
    setCursor(Qt::OpenHandCursor);
    if (onDragEnded) onDragEnded();
}

// ---- sheet --------------------------------------------------------------------

namespace {

struct ShapeOption {
    StartIconShape shape;
    const char* title;
};
const ShapeOption shapeOptions[] = {{StartIconShape::square, "Square"},
                                    {StartIconShape::roundedSquare, "Rounded square"},
                                    {StartIconShape::circle, "Circle"}};

QLabel* secondary(QLabel* label) {
    label->setForegroundRole(QPalette::PlaceholderText);
    return label;
}

QLabel* symbolLabel(const char* name, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setPixmap(settings_symbols::icon(QString::fromLatin1(name), 16, parent->palette().color(QPalette::PlaceholderText))
                         .pixmap(16, 16));
    return label;
}

}  // namespace

StartIconCropSheet::StartIconCropSheet(QImage image, StartIconShape initialShape, UseAction onUse,
                                       std::function<void()> onCancel, double side, QWidget* parent)
    : QDialog(parent),
      image_(std::move(image)),
      initialShape_(initialShape),
      onUse_(std::move(onUse)),
      onCancel_(std::move(onCancel)),
      side_(side) {
    setObjectName(QStringLiteral("startIconCropSheet"));
    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(20, 20, 20, 20);
    stack->setSpacing(16);
    stack->setSizeConstraint(QLayout::SetFixedSize);

    title_ = new QLabel(this);
    QFont headline = title_->font();
    headline.setBold(true);
    headline.setPixelSize(13);
    title_->setFont(headline);
    stack->addWidget(title_, 0, Qt::AlignHCenter);

    canvas_ = new StartIconCropCanvas(image_, side_, zoom_, offset_, this);
    canvas_->setMask(shape_);
    canvas_->onDragChanged = [this](QSizeF t) { dragChanged(t); };
    canvas_->onDragEnded = [this] { dragEnded(); };
    stack->addWidget(canvas_, 0, Qt::AlignHCenter);

    auto* zoomRow = new QHBoxLayout;
    zoomRow->setSpacing(10);
    zoomRow->addWidget(symbolLabel("minus.magnifyingglass", this));
    zoomSlider_ = new QSlider(Qt::Horizontal, this);
    zoomSlider_->setObjectName(QStringLiteral("zoom"));
    zoomSlider_->setRange(sliderSteps, 4 * sliderSteps);
    zoomSlider_->setValue(sliderSteps);
    connect(zoomSlider_, &QSlider::valueChanged, this, [this](int v) { setZoom(double(v) / sliderSteps); });
    zoomRow->addWidget(zoomSlider_, 1);
    zoomRow->addWidget(symbolLabel("plus.magnifyingglass", this));
    stack->addLayout(zoomRow);

    // A segmented control: three buttons, one checked.
    auto* shapeRow = new QHBoxLayout;
    shapeRow->setSpacing(0);
    auto* group = new QButtonGroup(this);
    group->setExclusive(true);
    for (int i = 0; i < 3; ++i) {
        auto* button = new QToolButton(this);
        button->setCheckable(true);
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        button->setObjectName(rawValue(shapeOptions[i].shape));
        group->addButton(button);
        shapeRow->addWidget(button);
        shapeButtons_[i] = button;
        connect(button, &QToolButton::clicked, this, [this, i] { setShape(shapeOptions[i].shape); });
    }
    stack->addLayout(shapeRow);

    hint_ = secondary(new QLabel(this));
    QFont footnote = hint_->font();
    footnote.setPixelSize(10);
    hint_->setFont(footnote);
    hint_->setWordWrap(true);
    hint_->setAlignment(Qt::AlignHCenter);
    stack->addWidget(hint_);

    auto* buttons = new QHBoxLayout;
    cancel_ = new QPushButton(this);
    cancel_->setAutoDefault(false);
    connect(cancel_, &QPushButton::clicked, this, &StartIconCropSheet::reject);
    apply_ = new QPushButton(this);
    // Return presses it.
    apply_->setDefault(true);
    connect(apply_, &QPushButton::clicked, this, &StartIconCropSheet::apply);
    buttons->addWidget(cancel_);
    buttons->addStretch(1);
    buttons->addWidget(apply_);
    stack->addLayout(buttons);

    // 280 points wide with the padding; the height follows the content.
    const int width = 280;
    zoomSlider_->setFixedWidth(width - 40 - 2 * (16 + 10));
    hint_->setFixedWidth(width - 40);

    connect(&platform::prefs::userDefaults(), &platform::prefs::Domain::changed, this, [this](const QString& key) {
        if (key == settings::keys::appLanguage) retranslate();
    });
    retranslate();
    showShape();
}

QAbstractButton* StartIconCropSheet::shapeButton(StartIconShape shape) const {
    for (int i = 0; i < 3; ++i)
        if (shapeOptions[i].shape == shape) return shapeButtons_[i];
    return nullptr;
}

QString StartIconCropSheet::localizedText(const char* key) {
    // The language is read afresh for every text.
    return app_language::bundleFor(app_language::current()).localizedString(key);
}

void StartIconCropSheet::retranslate() {
    const AppLanguage language = app_language::current();
    setLocale(app_language::locale(language));
    setWindowTitle(localizedText("Crop icon"));
    title_->setText(localizedText("Crop icon"));
    hint_->setText(localizedText("Drag to position; use the slider to zoom."));
    zoomSlider_->setAccessibleName(localizedText("Zoom"));
    for (int i = 0; i < 3; ++i) shapeButtons_[i]->setText(localizedText(shapeOptions[i].title));
    cancel_->setText(localizedText("Cancel"));
    apply_->setText(localizedText("Apply"));
}

void StartIconCropSheet::showShape() {
    for (int i = 0; i < 3; ++i) shapeButtons_[i]->setChecked(shapeOptions[i].shape == shape_);
    canvas_->setMask(shape_);
}

void StartIconCropSheet::setShape(StartIconShape shape) {
    shape_ = shape;
    showShape();
}

void StartIconCropSheet::setZoom(double zoom) {
    zoom = std::clamp(zoom, 1.0, 4.0);
    const int position = int(std::lround(zoom * sliderSteps));
    if (zoomSlider_->value() != position) {
        const QSignalBlocker block(zoomSlider_);
        zoomSlider_->setValue(position);
    }
    if (zoom == zoom_) return;
    zoom_ = zoom;
    canvas_->setZoom(zoom_);
    zoomChanged();
}

QSizeF StartIconCropSheet::clampOffset(QSizeF proposed) const {
    const QSizeF size = StartIconCropCanvas::pictureSize(image_);
    const double s = StartIconCropCanvas::scale(size, side_, zoom_);
    auto limit = [&](double length) {
        const double l = (length * s - side_) / 2;
        // At zoom 1 the shorter axis cannot move at all.
        return l < 0.001 ? 0.0 : l;
    };
    const double lx = limit(size.width()), ly = limit(size.height());
    return {std::min(std::max(proposed.width(), -lx), lx), std::min(std::max(proposed.height(), -ly), ly)};
}

void StartIconCropSheet::dragChanged(QSizeF translation) {
    offset_ = clampOffset(dragStart_ + translation);
    canvas_->setOffset(offset_);
}

void StartIconCropSheet::dragEnded() { dragStart_ = offset_; }

void StartIconCropSheet::zoomChanged() {
    offset_ = clampOffset(offset_);
    dragStart_ = offset_;
    canvas_->setOffset(offset_);
}

void StartIconCropSheet::restoreShape() { setShape(initialShape_); }

void StartIconCropSheet::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    restoreShape();
}

void StartIconCropSheet::apply() {
    if (answered_) return;
    // A fresh canvas: only the square viewport, no mask and no outline.
    const StartIconCropCanvas canvas(image_, side_, zoom_, offset_);
    const QImage picture = canvas.render(2);
    answered_ = true;
    if (picture.isNull()) {
        platform::alerts().beep();
        if (onCancel_) onCancel_();
        return;
    }
    if (onUse_) onUse_(picture, shape_);
}

void StartIconCropSheet::reject() {
    if (answered_) return;
    answered_ = true;
    if (onCancel_) onCancel_();
}
