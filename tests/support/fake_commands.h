#pragma once
// A folder of stand-in commands, for tests of code that would otherwise run
// system commands (lock, suspend, power off...). Each stand-in appends its
// name and arguments as one line to a record, writes the folder's error
// text (if any) to its standard error and exits with the status the folder
// was given. Only the named commands exist in the folder.
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <initializer_list>

class FakeCommands {
public:
    explicit FakeCommands(std::initializer_list<const char*> names) {
        setExitStatus(0);
        for (const char* name : names) {
            QFile script(dir_.filePath(QString::fromUtf8(name)));
            if (!script.open(QIODevice::WriteOnly)) continue;
            const QString record = dir_.filePath(QStringLiteral("record"));
            const QString status = dir_.filePath(QStringLiteral("status"));
            const QString error = dir_.filePath(QStringLiteral("error"));
            // One write per run: stand-ins started together must not interleave their lines.
            script.write(QStringLiteral("#!/bin/sh\n"
                                        "line=\"${0##*/}\"; for a in \"$@\"; do line=\"$line $a\"; done\n"
                                        "printf '%s\\n' \"$line\" >> '%1'\n"
                                        "[ -s '%3' ] && cat '%3' >&2\n"
                                        "exit \"$(cat '%2')\"\n")
                             .arg(record, status, error)
                             .toUtf8());
            script.close();
            script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
    }
    bool isValid() const { return dir_.isValid(); }
    QString folder() const { return dir_.path(); }
    void setExitStatus(int status) {
        QFile f(dir_.filePath(QStringLiteral("status")));
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(QByteArray::number(status));
    }
    // What each stand-in then writes to its standard error; empty: nothing.
    void setErrorText(const QByteArray& text) {
        QFile f(dir_.filePath(QStringLiteral("error")));
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(text);
    }
    // "name arg1 arg2", one per run, oldest first.
    QStringList runs() const {
        QFile f(dir_.filePath(QStringLiteral("record")));
        if (!f.open(QIODevice::ReadOnly)) return {};
        return QString::fromUtf8(f.readAll()).split(u'\n', Qt::SkipEmptyParts);
    }

private:
    QTemporaryDir dir_;
};
