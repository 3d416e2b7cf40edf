#pragma once
// Reading freedesktop desktop entries (".desktop" files) and splitting their
// Exec lines, shared by the installed-applications catalogue, the X11
// backend's window-to-application matching and the start menu's launcher.
#include <QHash>
#include <QString>
#include <QStringList>
#include <optional>

namespace platform::desktop_entry {

// Larger files are not desktop entries; nothing past this is read.
inline constexpr qint64 maximumFileSize = 256 * 1024;

// The keys of the "[Desktop Entry]" group with their unescaped values;
// localized keys keep their "[locale]" suffix ("Name[de_DE]"). The first
// occurrence of a key wins.
using Group = QHash<QString, QString>;

// The main group of a file; none when the file is missing, larger than the
// cap, not valid UTF-8, holds a NUL byte, or has no "[Desktop Entry]" group.
std::optional<Group> readMainGroup(const QString& path);
std::optional<Group> parseMainGroup(const QByteArray& bytes);

// Locale names to try for a POSIX locale "lang_COUNTRY.ENCODING@MODIFIER", in
// the desktop-entry order: lang_COUNTRY@MODIFIER, lang_COUNTRY,
// lang@MODIFIER, lang (those that apply).
QStringList localeCandidates(const QString& posixLocale);
// The user's locale from LC_ALL, LC_MESSAGES or LANG (first one set).
QString userMessagesLocale();
// The value of `key` in the first matching locale, else the plain key.
QString localizedValue(const Group& group, const QString& key, const QStringList& locales);

// Splits an Exec value into program and arguments by the desktop-entry
// rules: arguments are separated by spaces; double quotes group, and inside
// them a backslash makes the next of `"`, "`", "$" and "\" literal; field
// codes (%f, %U, %i, %c, %k, ...) are removed and "%%" is a percent sign
// (also inside quotes, as launchers read it).
// Empty when the value is malformed (an open quote) or holds no argument.
// The result is meant to be started directly, never by a shell.
QStringList execArguments(const QString& exec);

// Whether an entry is shown in a menu on the given desktops
// ($XDG_CURRENT_DESKTOP, split at ':'): an application, not hidden, not
// NoDisplay, with a name and an Exec, OnlyShowIn/NotShowIn honoured, and its
// TryExec (when given) found by `tryExecFound`.
bool isShownApplication(const Group& group, const QStringList& currentDesktops,
                        bool (*tryExecFound)(const QString& program));
// A program name or absolute path that exists and is executable (a bare
// name is looked up in $PATH).
bool programExists(const QString& program);
QStringList currentDesktops();

// The command that runs `command` (program and arguments) in the user's
// terminal, for an entry with Terminal=true: "x-terminal-emulator" (the
// system's choice), else the first of the usual terminals found in $PATH,
// each with the option that hands it a command. Empty when none is found.
QStringList inTerminal(const QStringList& command);

}  // namespace platform::desktop_entry
