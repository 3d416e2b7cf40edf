#pragma once
// The settings window's content: a sidebar of the four categories and, beside
// it, the selected category's pane under its title. Everything in it follows
// the "appLanguage" setting at once.
#include <QStringList>
#include <QWidget>
#include <map>
#include <optional>

#include "settings/settings_category.h"

class QFontMetrics;
class QLabel;
class QListWidget;
class QStackedWidget;
class SettingsPane;

class SettingsView : public QWidget {
    Q_OBJECT
public:
    static constexpr int sidebarWidth = 165;
    static constexpr int sidebarMaximumWidth = 200;
    // The sidebar's width for these titles: as wide as the widest row needs,
    // never below the ideal width nor above the maximum.
    static int sidebarWidthFor(const QFontMetrics& metrics, const QStringList& titles);
    static constexpr int minimumWidth = 720;
    static constexpr int minimumHeight = 470;

    explicit SettingsView(QWidget* parent = nullptr);
    ~SettingsView() override;

    // Absent when no row is selected (the General pane shows then).
    std::optional<SettingsCategory> selection() const { return selection_; }
    void setSelection(std::optional<SettingsCategory> category);
    // The category whose pane shows.
    SettingsCategory shownCategory() const { return selection_.value_or(SettingsCategory::general); }
    // The pane of a category once it was shown (null before, or without one).
    SettingsPane* pane(SettingsCategory category) const;
    QWidget* currentPane() const;
    QString title() const;
    QListWidget* sidebar() const { return sidebar_; }

    // Sets every text again in the language chosen now.
    void retranslate();
    // Light or dark colours after the program's effective appearance.
    void applyAppearance();

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    static constexpr int rowInset = 8;
    void showSelection();
    void fitSidebar();

    QListWidget* sidebar_ = nullptr;
    QLabel* title_;
    QStackedWidget* stack_;
    int appearanceObserver_ = 0;
    std::optional<SettingsCategory> selection_ = SettingsCategory::general;
    std::map<SettingsCategory, QWidget*> pages_;
};
