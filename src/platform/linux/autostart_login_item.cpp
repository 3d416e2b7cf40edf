#include "platform/linux/autostart_login_item.h"

#include "platform/desktop_entry.h"
#include "platform/files.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace platform::linux_backend {
namespace {

// English descriptions; the service shows them in the chosen language.
QString tr(const char* text) { return QString::fromUtf8(text); }

// GLib and systemd's autostart generator look for the program named by the
// first argument as written, before "%%" is read as a percent sign: a path
// with a percent sign is started through env, which they do find.
const QString envProgram = QStringLiteral("/usr/bin/env");

}  // namespace

AutostartLoginItems::AutostartLoginItems(QString autostartFolder, std::optional<QString> executable)
    : folder_(std::move(autostartFolder)), executable_(std::move(executable)) {}

QString AutostartLoginItems::defaultAutostartFolder() {
    const QByteArray home = qgetenv("QUORVEL_HOME");
    if (!home.isEmpty()) return QString::fromLocal8Bit(home) + QStringLiteral("/autostart");
    const QString xdg = QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME"));
    if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg)) return xdg + QStringLiteral("/autostart");
    return QDir::homePath() + QStringLiteral("/.config/autostart");
}

std::shared_ptr<AutostartLoginItems> AutostartLoginItems::forCurrentUser() {
    std::optional<QString> exe;
    if (QCoreApplication::instance()) {
        const QString path = QCoreApplication::applicationFilePath();
        if (!path.isEmpty() && QFileInfo(path).isExecutable()) exe = path;
    }
    return std::make_shared<AutostartLoginItems>(defaultAutostartFolder(), exe);
}

QString AutostartLoginItems::entryPath() const { return folder_ + u'/' + entryFileName; }

std::optional<QString> AutostartLoginItems::execValue(const QString& executable) {
    if (executable.isEmpty() || !QDir::isAbsolutePath(executable)) return std::nullopt;
    QString quoted;
    for (QChar c : executable) {
        // A line break or other control character cannot be carried by a
        // desktop entry without changing what it runs.
        if (c.unicode() < 0x20 || c.unicode() == 0x7f) return std::nullopt;
        switch (c.unicode()) {
            // Inside a quoted argument these four are escaped with a
            // backslash; the value's own escaping then doubles every
            // backslash, so one becomes two and two become four.
            case u'"': quoted += QStringLiteral("\\\\\""); break;
            case u'`': quoted += QStringLiteral("\\\\`"); break;
            case u'$': quoted += QStringLiteral("\\\\$"); break;
            case u'\\': quoted += QStringLiteral("\\\\\\\\"); break;
            case u'%': quoted += QStringLiteral("%%"); break;  // not a field code
            default: quoted += c;
        }
    }
    // env would take a first argument holding '=' for a variable to set.
    if (executable.contains(u'%') && executable.contains(u'=')) return std::nullopt;
    if (executable.contains(u'%')) return envProgram + QStringLiteral(" \"") + quoted + u'"';
    return u'"' + quoted + u'"';
}

LoginItemStatus AutostartLoginItems::status() {
    if (!executable_) return LoginItemStatus::notFound;
    const auto entry = desktop_entry::readMainGroup(entryPath());
    if (!entry) return LoginItemStatus::notRegistered;
    if (entry->value(QStringLiteral("Hidden")) == QStringLiteral("true")) return LoginItemStatus::notRegistered;
    if (entry->value(QStringLiteral("X-GNOME-Autostart-enabled")) == QStringLiteral("false"))
        return LoginItemStatus::notRegistered;
    // What a launcher would run, however the entry spells it.
    const QStringList run = desktop_entry::execArguments(entry->value(QStringLiteral("Exec")));
    if (run == QStringList{*executable_} || run == QStringList{envProgram, *executable_}) return LoginItemStatus::enabled;
    return LoginItemStatus::notRegistered;
}

std::optional<QString> AutostartLoginItems::registerItem() {
    if (!executable_) return tr("The program's location could not be determined.");
    const auto exec = execValue(*executable_);
    if (!exec) return tr("The program's location cannot be used for starting at login.");
    // Modes of our own, whatever the umask: an entry others could change
    // would run their command as this user at the next login.
    if (!makeFolders(folder_, 0700)) return tr("The autostart folder could not be created.");
    const QString text = QStringLiteral(
                             "[Desktop Entry]\n"
                             "Type=Application\n"
                             "Name=Quorvel\n"
                             "Exec=") +
                         *exec +
                         QStringLiteral(
                             "\n"
                             "Terminal=false\n"
                             "X-GNOME-Autostart-enabled=true\n");
    if (!replaceFile(entryPath(), text.toUtf8(), 0644)) return tr("The autostart entry could not be written.");
    return std::nullopt;
}

std::optional<QString> AutostartLoginItems::unregisterItem() {
    QFile file(entryPath());
    if (!file.exists()) return std::nullopt;
    if (!file.remove()) return tr("The autostart entry could not be removed.");
    return std::nullopt;
}

}  // namespace platform::linux_backend
