#pragma once
// What a bar needs of the start menu: open it above its start button, close
// it, and know on which display it is shown. The start menu lives above the
// bars, so the start-up hands the real one in; until it does, the bars talk
// to an inert menu that never opens.
#include <QObject>
#include <optional>

#include "platform/displays.h"

class StartMenuPort : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual bool isOpen() const = 0;
    virtual std::optional<platform::DisplayID> presentedScreenID() const = 0;
    // A click on a start button (fromClick) or the shortcut.
    virtual void toggle(bool fromClick) = 0;
    virtual void open() = 0;
    virtual void close() = 0;

    // The start menu every bar talks to; never null.
    static StartMenuPort& current();
    // Installs the real start menu (null: back to the inert one). The port is
    // held weakly, so a destroyed menu is never reached.
    static void setCurrent(StartMenuPort* port);

signals:
    void presentedScreenIDChanged();
};
