#pragma once
// Value records of a window snapshot and of the task strip's buttons.
// None holds an accessibility element: windows are named by their token.
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <variant>
#include <vector>

using WindowToken = std::uint64_t;

struct WindowItem {
    WindowToken id = 0;
    QString title;
    bool isMinimized = false;
    bool isFocused = false;
    // The window itself asks for attention: its own button shows the unread
    // dot, not every window's of its application.
    bool hasUnread = false;
    friend bool operator==(const WindowItem&, const WindowItem&) = default;
};

struct AppItem {
    std::int32_t id = 0;
    std::int32_t pid = 0;
    std::optional<QString> bundleID;
    QString name;
    bool isActive = false;
    bool isHidden = false;
    bool hasVisibleWindow = false;
    std::vector<WindowItem> windows;
    bool hasUnread = false;
    friend bool operator==(const AppItem&, const AppItem&) = default;
};

// What a task button stands for: a whole application or one window.
struct TaskButtonKind {
    struct App {
        std::int32_t pid = 0;
        friend bool operator==(const App&, const App&) = default;
    };
    struct Window {
        WindowToken token = 0;
        std::int32_t pid = 0;
        friend bool operator==(const Window&, const Window&) = default;
    };
    std::variant<App, Window> value;

    static TaskButtonKind app(std::int32_t pid) { return {App{pid}}; }
    static TaskButtonKind window(WindowToken token, std::int32_t pid) { return {Window{token, pid}}; }
    bool isApp() const { return std::holds_alternative<App>(value); }
    bool isWindow() const { return std::holds_alternative<Window>(value); }
    std::int32_t pid() const { return isApp() ? std::get<App>(value).pid : std::get<Window>(value).pid; }
    std::optional<WindowToken> token() const {
        if (auto w = std::get_if<Window>(&value)) return w->token;
        return std::nullopt;
    }
    friend bool operator==(const TaskButtonKind&, const TaskButtonKind&) = default;
};

struct TaskButtonItem {
    QString id;
    TaskButtonKind kind;
    std::int32_t pid = 0;
    std::optional<QString> bundleID;
    QString label;
    std::int64_t badge = 0;
    bool isActive = false;
    bool isDimmed = false;
    bool isPinned = false;
    bool isRunning = false;
    bool hasUnread = false;
    friend bool operator==(const TaskButtonItem&, const TaskButtonItem&) = default;

    static QString appIdentity(std::int32_t pid) { return QStringLiteral("app:%1").arg(pid); }
    static QString pinIdentity(const QString& bundleID) { return QStringLiteral("pin:") + bundleID; }
    static QString windowIdentity(WindowToken token) { return QStringLiteral("win:%1").arg(token); }
};

// One entry of a context menu or window list; performed on the main thread.
struct TaskMenuAction {
    QString title;
    bool isSeparatorBefore = false;
    std::function<void()> perform;
};

enum class TaskInteractionModel { grouped, perWindow };

inline QString rawValue(TaskInteractionModel m) {
    return m == TaskInteractionModel::grouped ? QStringLiteral("grouped") : QStringLiteral("perWindow");
}
// Exact match: "grouped" is grouped, every other text is perWindow.
inline TaskInteractionModel taskInteractionModelFromText(const std::optional<QString>& text) {
    return text && *text == QStringLiteral("grouped") ? TaskInteractionModel::grouped : TaskInteractionModel::perWindow;
}
