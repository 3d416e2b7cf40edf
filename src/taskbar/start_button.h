#pragma once
// The start button at the left end of every bar. Its face is a symbol, the
// custom picture clipped to its shape, or (with a pet chosen) empty: the pet
// view then sits behind it, centred on the button.
#include <QImage>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <optional>

#include "core/settings_model.h"
#include "platform/displays.h"
#include "taskbar/pet/pet_model.h"

class StartIconStore;
class StartMenuPort;

class StartButton : public QWidget {
    Q_OBJECT
public:
    static constexpr int heightPoints = 28;
    static constexpr int widthWithoutPet = 24;
    static constexpr int widthWithPet = 36;
    static constexpr int petViewWidth = 36;
    static constexpr double pictureSide = 22;
    static constexpr double roundedSquareRadius = 4.84;

    // What the pet view needs to know; pushed on every change.
    struct PetState {
        StartPet pet = StartPet::cat;
        bool menuOpen = false;
        bool followsPointer = true;
        bool idleMotion = true;
        friend bool operator==(const PetState&, const PetState&) = default;
    };
    // Makes the view that draws a pet for a start button. The pet's own code
    // registers it; without one a pet face stays empty.
    using PetViewFactory = std::function<QWidget*(StartButton& button)>;
    static void setPetViewFactory(PetViewFactory factory);
    static PetViewFactory currentPetViewFactory();

    enum class Face { pet, picture, symbol };

    StartButton(StartIconStore& iconStore, StartMenuPort& startMenu,
                std::optional<platform::DisplayID> displayID, QWidget* parent = nullptr);
    ~StartButton() override;

    Face face() const;
    // The symbol drawn on a symbol face ("square.grid.2x2.fill" for an empty setting).
    QString symbolName() const;
    bool isHovered() const { return hovered_; }
    PetState petState() const;
    // The start menu is presented on this button's display.
    bool menuOpenHere() const;

    // Places a pet view behind the face, centred on the button, as tall as the
    // bar; the button keeps it placed. Null removes it.
    void setPetView(QWidget* view);
    QWidget* petView() const { return petView_; }
    // Re-centres the pet view (the bar calls it when it is resized).
    void placePetView();

    // The default accessibility action: close an open menu, else open it.
    void performAccessibilityAction();

    QSize sizeHint() const override;

signals:
    void petStateChanged(const StartButton::PetState& state);
    // The kind of face or the button's size changed (not the menu opening or
    // closing, which only repaints it).
    void faceChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void refresh();
    void syncPetView();

    StartIconStore& iconStore_;
    StartMenuPort& startMenu_;
    std::optional<platform::DisplayID> displayID_;
    bool hovered_ = false;
    bool pressed_ = false;
    QPointer<QWidget> petView_;
    std::optional<PetState> lastPetState_;
    std::optional<Face> lastFace_;
};

Q_DECLARE_METATYPE(StartButton::PetState)
