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

#include "support/test_files.h"

class FakeCommands {
public:
    explicit FakeCommands(std::initializer_list<const char*> names) {
        setExitStatus(0);
        for (const char* name : names) {
            const QString record = dir_.filePath(QStringLiteral("record"));
            const QString status = dir_.filePath(QStringLiteral("status"));
            const QString error = dir_.filePath(QStringLiteral("error"));
            // One write per run: stand-ins started together must not interleave their lines.
            writeFile(dir_.filePath(QString::fromUtf8(name)),
                      QStringLiteral("#!/bin/sh\n"
                                     "line=\"${0##*/}\"; for a in \"$@\"; do line=\"$line $a\"; done\n"
                                     "printf '%s\\n' \"$line\" >> '%1'\n"
                                     "[ -s '%3' ] && cat '%3' >&2\n"
                                     "exit \"$(cat '%2')\"\n")
                          .arg(record, status, error)
                          .toUtf8(),
                      true);
        }
    }
    bool isValid() const { return dir_.isValid(); }
    QString folder() const { return dir_.path(); }
    void setExitStatus(int status) { writeFile(dir_.filePath(QStringLiteral("status")), QByteArray::number(status)); }
    // What each stand-in then writes to its standard error; empty: nothing.
    void setErrorText(const QByteArray& text) { writeFile(dir_.filePath(QStringLiteral("error")), text); }
    // "name arg1 arg2", one per run, oldest first.
    QStringList runs() const {
        return QString::fromUtf8(readFile(dir_.filePath(QStringLiteral("record")))).split(u'\n', Qt::SkipEmptyParts);
    }

private:
    QTemporaryDir dir_;
};
