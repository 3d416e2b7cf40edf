#pragma once
// The sheet in which a picked picture is placed for the start button: a
// square viewport the picture is dragged and zoomed in, a choice of mask, and
// "Apply", which renders the visible square as a 440 by 440 picture. What the
// viewport shows and what is rendered come from the same geometry.
#include <QDialog>
#include <QImage>
#include <QPainterPath>
#include <QSizeF>
#include <QWidget>
#include <functional>
#include <optional>

#include "core/settings_model.h"

class QAbstractButton;
class QLabel;
class QPushButton;
class QSlider;

// The clip of a custom start-button picture in a box: a rounded square has a
// corner radius of 0.22 of the edge.
QPainterPath startIconMask(StartIconShape shape, const QRectF& box);

// The picture in a `side` by `side` viewport at a zoom and an offset of its
// centre from the viewport's centre (y down).
class StartIconCropCanvas : public QWidget {
    Q_OBJECT
public:
    StartIconCropCanvas(QImage image, double side, double zoom = 1, QSizeF offset = QSizeF(0, 0),
                        QWidget* parent = nullptr);

    // The picture's size in points, each side at least 1.
    static QSizeF pictureSize(const QImage& image);
    // max(side / w, side / h) × zoom: at zoom 1 the shorter side fills the viewport.
    static double scale(QSizeF pictureSize, double side, double zoom);
    // Where the whole picture lies in viewport coordinates.
    static QRectF pictureRect(QSizeF pictureSize, double side, double zoom, QSizeF offset);
    // Draws the picture into the viewport square at the painter's origin.
    static void paint(QPainter& painter, const QImage& image, double side, double zoom, QSizeF offset);
    // The viewport rendered at `pixelScale` pixels per point (440 by 440 for
    // side 220 at 2); a null picture when it cannot be made.
    QImage render(double pixelScale) const;

    void setZoom(double zoom);
    void setOffset(QSizeF offset);
    // On screen the sheet clips the canvas to the mask and outlines it.
    void setMask(std::optional<StartIconShape> shape);
    std::optional<StartIconShape> mask() const { return mask_; }

    // A drag of at least 10 points: its translation while it moves, then its end.
    std::function<void(QSizeF)> onDragChanged;
    std::function<void()> onDragEnded;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QImage image_;
    double side_;
    double zoom_;
    QSizeF offset_;
    std::optional<StartIconShape> mask_;
    std::optional<QPointF> pressedAt_;
    bool dragging_ = false;
};

class StartIconCropSheet : public QDialog {
    Q_OBJECT
public:
    using UseAction = std::function<void(const QImage&, StartIconShape)>;

    StartIconCropSheet(QImage image, StartIconShape initialShape, UseAction onUse, std::function<void()> onCancel,
                       double side = 220, QWidget* parent = nullptr);

    double zoom() const { return zoom_; }
    QSizeF offset() const { return offset_; }
    QSizeF dragStart() const { return dragStart_; }
    StartIconShape shape() const { return shape_; }
    double side() const { return side_; }

    // As the slider sets it (1 to 4); a different value re-clamps the offset.
    void setZoom(double zoom);
    // Chooses the mask (as the shape picker does).
    void setShape(StartIconShape shape);
    // The proposed offset within the limits that keep the viewport covered.
    QSizeF clampOffset(QSizeF proposed) const;
    void dragChanged(QSizeF translation);
    void dragEnded();
    void zoomChanged();
    // The shape the caller passed, as the sheet is shown.
    void restoreShape();
    // Renders the viewport and hands it with the shape to the caller; on a
    // failed render, beeps and cancels.
    void apply();
    // A key's text in the interface language chosen now.
    static QString localizedText(const char* key);

    StartIconCropCanvas* canvas() const { return canvas_; }
    QSlider* zoomSlider() const { return zoomSlider_; }
    QAbstractButton* shapeButton(StartIconShape shape) const;
    QPushButton* applyButton() const { return apply_; }
    QPushButton* cancelButton() const { return cancel_; }

    // Slider positions per unit of zoom.
    static constexpr int sliderSteps = 1000;

public slots:
    // Escape and closing the window cancel.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void retranslate();
    void showShape();

    QImage image_;
    StartIconShape initialShape_;
    UseAction onUse_;
    std::function<void()> onCancel_;
    double side_;
    double zoom_ = 1;
    // Not QSizeF(): that is (-1, -1).
    QSizeF offset_{0, 0};
    QSizeF dragStart_{0, 0};
    StartIconShape shape_ = StartIconShape::roundedSquare;

    StartIconCropCanvas* canvas_ = nullptr;
    QLabel* title_ = nullptr;
    QLabel* hint_ = nullptr;
    QSlider* zoomSlider_ = nullptr;
    QAbstractButton* shapeButtons_[3] = {};
    QPushButton* cancel_ = nullptr;
    QPushButton* apply_ = nullptr;
    bool answered_ = false;
};
