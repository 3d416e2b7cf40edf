#include "platform/desktop_entry.h"
#include "platform/files.h"

#include <QByteArrayView>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringDecoder>
#include <unistd.h>

namespace platform::desktop_entry {
namespace {

// The value of a desktop-entry string: \s \n \t \r \\ escapes.
QString unescapeValue(QStringView v) {
    QString out;
    out.reserve(v.size());
    for (qsizetype i = 0; i < v.size(); ++i) {
        const QChar c = v[i];
        if (c == u'\\' && i + 1 < v.size()) {
            const QChar n = v[++i];
            if (n == u's') out += u' ';
            else if (n == u'n') out += u'\n';
            else if (n == u't') out += u'\t';
            else if (n == u'r') out += u'\r';
            else if (n == u'\\') out += u'\\';
            else { out += u'\\'; out += n; }
        } else {
            out += c;
        }
    }
    return out;
}

bool isBlank(QChar c) { return c == u' ' || c == u'\t'; }

}  // namespace

std::optional<Group> parseMainGroup(const QByteArray& bytes) {
    if (bytes.size() > maximumFileSize || bytes.contains('\0')) return std::nullopt;
    QStringDecoder decode(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decode(bytes);
    if (decode.hasError()) return std::nullopt;
    Group group;
    bool inMain = false, sawMain = false;
    for (QStringView rawLine : QStringView(text).split(u'\n')) {
        const QStringView line = rawLine.trimmed();
        if (line.isEmpty() || line.startsWith(u'#')) continue;
        if (line.startsWith(u'[')) {
            // Only the first "[Desktop Entry]" group counts.
            inMain = !sawMain && line == QStringLiteral("[Desktop Entry]");
            sawMain = sawMain || inMain;
            continue;
        }
        if (!inMain) continue;
        const qsizetype eq = line.indexOf(u'=');
        if (eq <= 0) continue;
        const QString key = line.left(eq).trimmed().toString();
        if (!group.contains(key)) group.insert(key, unescapeValue(line.mid(eq + 1).trimmed()));
    }
    if (!sawMain) return std::nullopt;
    return group;
}

std::optional<Group> readMainGroup(const QString& path) {
    // Bounded and non-blocking: a FIFO or device planted among the entries never stalls a scan.
    QByteArray bytes;
    if (readBoundedFile(path, maximumFileSize, &bytes) != ReadOutcome::ok) return std::nullopt;
    return parseMainGroup(bytes);
}

QStringList localeCandidates(const QString& posixLocale) {
    QString s = posixLocale;
    QString modifier;
    if (const qsizetype at = s.indexOf(u'@'); at >= 0) {
        modifier = s.mid(at + 1);
        s.truncate(at);
    }
    if (const qsizetype dot = s.indexOf(u'.'); dot >= 0) s.truncate(dot);
    QString lang = s, country;
    if (const qsizetype us = s.indexOf(u'_'); us >= 0) {
        lang = s.left(us);
        country = s.mid(us + 1);
    }
    QStringList out;
    if (lang.isEmpty() || lang == QStringLiteral("C") || lang == QStringLiteral("POSIX")) return out;
    if (!country.isEmpty() && !modifier.isEmpty()) out << lang + u'_' + country + u'@' + modifier;
    if (!country.isEmpty()) out << lang + u'_' + country;
    if (!modifier.isEmpty()) out << lang + u'@' + modifier;
    out << lang;
    return out;
}

QString userMessagesLocale() {
    for (const char* var : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const QString v = qEnvironmentVariable(var);
        if (!v.isEmpty()) return v;
    }
    return {};
}

QString localizedValue(const Group& group, const QString& key, const QStringList& locales) {
    for (const QString& locale : locales) {
        auto it = group.constFind(key + u'[' + locale + u']');
        if (it != group.constEnd() && !it->isEmpty()) return *it;
    }
    return group.value(key);
}

QStringList execArguments(const QString& exec) {
    QStringList args;
    QString current;
    bool inQuotes = false, haveArg = false;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        const QChar c = exec[i];
        if (inQuotes) {
            if (c == u'\\' && i + 1 < exec.size()) {
                const QChar n = exec[i + 1];
                if (n == u'"' || n == u'`' || n == u'$' || n == u'\\') {
                    current += n;
                    ++i;
                } else {
                    current += c;
                }
            } else if (c == u'"') {
                inQuotes = false;
            } else if (c == u'%' && i + 1 < exec.size() && exec[i + 1] == u'%') {
                // A percent sign inside quotes too, as launchers read it.
                current += c;
                ++i;
            } else {
                current += c;
            }
            continue;
        }
        if (c == u'"') {
            inQuotes = true;
            haveArg = true;
        } else if (isBlank(c)) {
            if (haveArg) args << current;
            current.clear();
            haveArg = false;
        } else if (c == u'%') {
            if (i + 1 >= exec.size()) {  // a lone '%' at the end stands for itself
                current += c;
                haveArg = true;
                continue;
            }
            const QChar code = exec[++i];
            if (code == u'%') {
                current += u'%';
                haveArg = true;
            }
            // Every other field code stands for files, URLs, the icon, the
            // name or the entry's location: a start from the menu passes
            // none of them.
        } else {
            current += c;
            haveArg = true;
        }
    }
    if (inQuotes) return {};
    if (haveArg) args << current;
    return args;
}

bool programExists(const QString& program) {
    if (program.isEmpty()) return false;
    if (program.contains(u'/')) {
        const QFileInfo info(program);
        return info.isAbsolute() && info.isFile() && ::access(QFile::encodeName(program).constData(), X_OK) == 0;
    }
    return !QStandardPaths::findExecutable(program).isEmpty();
}

QStringList inTerminal(const QStringList& command) {
    if (command.isEmpty()) return {};
    // Each takes the command after the option as program and arguments.
    static const std::pair<const char*, const char*> terminals[] = {
        {"x-terminal-emulator", "-e"}, {"xdg-terminal-exec", nullptr}, {"gnome-terminal", "--"},
        {"konsole", "-e"},             {"xfce4-terminal", "-x"},        {"mate-terminal", "-x"},
        {"lxterminal", "-e"},          {"qterminal", "-e"},             {"terminator", "-x"},
        {"alacritty", "-e"},           {"kitty", nullptr},              {"foot", nullptr},
        {"urxvt", "-e"},               {"xterm", "-e"},
    };
    for (const auto& [name, option] : terminals) {
        const QString path = QStandardPaths::findExecutable(QString::fromLatin1(name));
        if (path.isEmpty()) continue;
        QStringList out{path};
        if (option) out << QString::fromLatin1(option);
        return out + command;
    }
    return {};
}

QStringList currentDesktops() {
    return qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(u':', Qt::SkipEmptyParts);
}

bool isShownApplication(const Group& group, const QStringList& desktops, bool (*tryExecFound)(const QString&)) {
    if (group.value(QStringLiteral("Type")) != QStringLiteral("Application")) return false;
    if (group.value(QStringLiteral("Hidden")) == QStringLiteral("true")) return false;
    if (group.value(QStringLiteral("NoDisplay")) == QStringLiteral("true")) return false;
    if (group.value(QStringLiteral("Name")).isEmpty()) return false;
    if (execArguments(group.value(QStringLiteral("Exec"))).isEmpty()) return false;
    auto listed = [&](const QString& key) {
        return group.value(key).split(u';', Qt::SkipEmptyParts);
    };
    const QStringList only = listed(QStringLiteral("OnlyShowIn"));
    const QStringList notIn = listed(QStringLiteral("NotShowIn"));
    // The first desktop of $XDG_CURRENT_DESKTOP that either list names decides.
    bool decided = false, shown = only.isEmpty();
    for (const QString& d : desktops) {
        if (notIn.contains(d)) { shown = false; decided = true; break; }
        if (only.contains(d)) { shown = true; decided = true; break; }
    }
    if (!decided && !only.isEmpty()) shown = false;
    if (!shown) return false;
    const QString tryExec = group.value(QStringLiteral("TryExec"));
    if (!tryExec.isEmpty() && !(tryExecFound ? tryExecFound(tryExec) : programExists(tryExec))) return false;
    return true;
}

}  // namespace platform::desktop_entry
