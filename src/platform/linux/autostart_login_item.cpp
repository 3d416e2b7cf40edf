#include "platform/linux/autostart_login_item.h"

#include "platform/files.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <map>

namespace platform::linux_backend {
namespace {

// English descriptions; the service shows them in the chosen language.
QString tr(const char* text) { return QString::fromUtf8(text); }

// Values of the [Desktop Entry] group; unknown groups and comments skipped.
std::optional<std::map<QString, QString>> readEntry(const QString& path) {
    QByteArray bytes;
    switch (readBoundedFile(path, 64 * 1024, &bytes)) {
        case ReadOutcome::missing: return std::nullopt;
        case ReadOutcome::unreadable: return std::map<QString, QString>{};  // not a desktop entry of ours
        case ReadOutcome::ok: break;
    }
    std::map<QString, QString> values;
    bool inGroup = false;
    const QStringList lines = QString::fromUtf8(bytes).split(u'\n');
    for (QString line : lines) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(u'#')) continue;
        if (line.startsWith(u'[')) {
            inGroup = line == QStringLiteral("[Desktop Entry]");
            continue;
        }
        if (!inGroup) continue;
        const qsizetype eq = line.indexOf(u'=');
        if (eq <= 0) continue;
        values.emplace(line.left(eq).trimmed(), line.mid(eq + 1).trimmed());
    }
    return values;
}

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
    return u'"' + quoted + u'"';
}

LoginItemStatus AutostartLoginItems::status() {
    if (!executable_) return LoginItemStatus::notFound;
    auto entry = readEntry(entryPath());
    if (!entry) return LoginItemStatus::notRegistered;
    auto value = [&](const char* key) {
        auto it = entry->find(QLatin1String(key));
        return it == entry->end() ? QString() : it->second;
    };
    if (value("Hidden") == QStringLiteral("true")) return LoginItemStatus::notRegistered;
    if (value("X-GNOME-Autostart-enabled") == QStringLiteral("false")) return LoginItemStatus::notRegistered;
    const auto exec = execValue(*executable_);
    if (!exec || value("Exec") != *exec) return LoginItemStatus::notRegistered;
    return LoginItemStatus::enabled;
}

std::optional<QString> AutostartLoginItems::registerItem() {
    if (!executable_) return tr("The program's location could not be determined.");
    const auto exec = execValue(*executable_);
    if (!exec) return tr("The program's location cannot be used for starting at login.");
    if (!QDir().mkpath(folder_)) return tr("The autostart folder could not be created.");
    QSaveFile file(entryPath());
    if (!file.open(QIODevice::WriteOnly)) return tr("The autostart entry could not be written.");
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
    file.write(text.toUtf8());
    if (!file.commit()) return tr("The autostart entry could not be written.");
    return std::nullopt;
}

std::optional<QString> AutostartLoginItems::unregisterItem() {
    QFile file(entryPath());
    if (!file.exists()) return std::nullopt;
    if (!file.remove()) return tr("The autostart entry could not be removed.");
    return std::nullopt;
}

}  // namespace platform::linux_backend
