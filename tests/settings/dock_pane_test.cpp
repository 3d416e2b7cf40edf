// The Dock pane: what it shows for each stored state and which mode every
// change hands to the Dock controller.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QRadioButton>

#include "settings/dock_pane.h"
#include "settings_test_support.h"

using services::DockCoexistMode;

namespace {

class DockPaneTest : public SettingsTest {
protected:
    bool shown(QWidget* w) { return w->isVisibleTo(w->window()); }
    std::vector<DockCoexistMode> applied;
    DockPane::Applier recorder() {
        return [this](DockCoexistMode m) { applied.push_back(m); };
    }
};

enum class Position { right, left, keep, none };

Position checkedPosition(const DockPane& pane) {
    if (pane.rightEdge()->isChecked()) return Position::right;
    if (pane.leftEdge()->isChecked()) return Position::left;
    if (pane.keepPosition()->isChecked()) return Position::keep;
    return Position::none;
}

TEST_F(DockPaneTest, WhatEachStoredStateShowsAndApplies) {
    struct Case {
        const char* name;
        std::optional<bool> manage;
        std::optional<QString> mode;
        std::optional<QString> delay;
        Position position;
        QString delayText;  // empty: no row
        bool hideNote;
        // The mode applied when the delay is then changed to 5 seconds.
        DockCoexistMode appliedOnChange;
    };
    const Case cases[] = {
        {"nothing stored", std::nullopt, std::nullopt, std::nullopt, Position::right, QStringLiteral("System default"),
         false, DockCoexistMode::moveRight},
        {"keep position", true, QStringLiteral("hide"), QStringLiteral("s10"), Position::keep,
         QStringLiteral("10 seconds"), true, DockCoexistMode::hide},
        {"left edge, delay never", true, QStringLiteral("moveLeft"), QStringLiteral("never"), Position::left,
         QStringLiteral("Never"), false, DockCoexistMode::moveLeft},
        {"stored off with the switch on", true, QStringLiteral("off"), std::nullopt, Position::none,
         QStringLiteral("System default"), false, DockCoexistMode::off},
        {"unknown mode and delay", true, QStringLiteral("bottom"), QStringLiteral("s3"), Position::none,
         QStringLiteral("System default"),
         false, DockCoexistMode::moveRight},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (const auto& key : {settings::keys::dockManageEnabled, settings::keys::dockCoexistMode,
                                settings::keys::dockRevealDelay})
            defaults().remove(key);
        if (c.manage) defaults().setBool(settings::keys::dockManageEnabled, *c.manage);
        if (c.mode) defaults().setString(settings::keys::dockCoexistMode, *c.mode);
        if (c.delay) defaults().setString(settings::keys::dockRevealDelay, *c.delay);
        applied.clear();
        DockPane pane(recorder());
        pane.show();
        EXPECT_TRUE(applied.empty()) << "opening the pane applies nothing";
        EXPECT_TRUE(pane.manageSwitch()->isChecked());
        EXPECT_EQ(checkedPosition(pane), c.position);
        EXPECT_EQ(pane.delayPicker()->currentText(), c.delayText);
        EXPECT_EQ(shown(pane.hideNote()), c.hideNote);
        EXPECT_FALSE(shown(pane.restoredNote()));
        EXPECT_TRUE(shown(pane.footer()));
        // Unknown texts stay stored as they are.
        EXPECT_EQ(defaults().stringValue(settings::keys::dockCoexistMode), c.mode);
        EXPECT_EQ(defaults().stringValue(settings::keys::dockRevealDelay), c.delay);

        // Changing only the delay applies the stored position again.
        emit pane.delayPicker()->activated(pane.delayPicker()->findData(QStringLiteral("s5")));
        EXPECT_EQ(defaults().stringValue(settings::keys::dockRevealDelay), QStringLiteral("s5"));
        EXPECT_EQ(applied, std::vector<DockCoexistMode>{c.appliedOnChange});
        EXPECT_EQ(defaults().stringValue(settings::keys::dockCoexistMode), c.mode);
    }
}

TEST_F(DockPaneTest, PositionAndSwitchChanges) {
    DockPane pane(recorder());
    pane.show();
    // The chosen row again is no change.
    pane.rightEdge()->click();
    EXPECT_TRUE(applied.empty());
    EXPECT_FALSE(defaults().contains(settings::keys::dockCoexistMode));

    pane.keepPosition()->click();
    EXPECT_TRUE(shown(pane.hideNote()));
    EXPECT_EQ(pane.hideNote()->text(), QStringLiteral("At the bottom, the Dock may cover the taskbar."));
    pane.leftEdge()->click();
    EXPECT_FALSE(shown(pane.hideNote()));
    EXPECT_EQ(applied, (std::vector{DockCoexistMode::hide, DockCoexistMode::moveLeft}));

    // Off: pickers and footer go, the restored note shows, off is applied; the
    // stored position and delay stay.
    defaults().setString(settings::keys::dockRevealDelay, QStringLiteral("s20"));
    pane.manageSwitch()->click();
    EXPECT_FALSE(shown(pane.positionRow()));
    EXPECT_FALSE(shown(pane.delayRow()));
    EXPECT_FALSE(shown(pane.hideNote()));
    EXPECT_FALSE(shown(pane.footer()));
    EXPECT_TRUE(shown(pane.restoredNote()));
    EXPECT_EQ(applied.back(), DockCoexistMode::off);
    EXPECT_EQ(defaults().stringValue(settings::keys::dockCoexistMode), QStringLiteral("moveLeft"));

    // On again: the stored position, rows back.
    pane.manageSwitch()->click();
    EXPECT_EQ(applied.back(), DockCoexistMode::moveLeft);
    EXPECT_EQ(applied.size(), 4u);
    EXPECT_TRUE(shown(pane.positionRow()));
    EXPECT_EQ(pane.delayPicker()->currentText(), QStringLiteral("20 seconds"));
    EXPECT_FALSE(shown(pane.restoredNote()));
    EXPECT_TRUE(shown(pane.footer()));
}

}  // namespace

// A desktop without a Dock: the pane keeps its settings, says why they wait,
// and a change takes nothing over.
TEST_F(DockPaneTest, WithoutADockThePaneSaysSoAndAChangeTouchesNoDock) {
    auto services = sim->services();
    services.desktop.hasDock = false;
    platform::install(services);
    DockPane pane;
    pane.show();
    EXPECT_TRUE(shown(pane.noDockNote()));
    EXPECT_FALSE(shown(pane.footer()));
    pane.keepPosition()->click();
    sim->pump();
    EXPECT_EQ(defaults().stringValue(settings::keys::dockCoexistMode), QStringLiteral("hide"));
    for (const auto& line : sim->log()) EXPECT_FALSE(line.contains(QStringLiteral("com.apple.dock"))) << line.toStdString();

    sim->install();
    DockPane withDock(recorder());
    withDock.show();
    EXPECT_FALSE(shown(withDock.noDockNote()));
}
