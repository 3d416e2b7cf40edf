#include "platform/process.h"

#include <QFileInfo>

namespace platform {

bool isDockRestart(const QString& executable, const QStringList& arguments) {
    return QFileInfo(executable).fileName() == QStringLiteral("killall") && arguments.contains(QStringLiteral("Dock"));
}

QString describeProcessFailure(const QString& executable, const QStringList& arguments, const ProcessResult& result) {
    QString command = executable;
    for (const auto& a : arguments) command += u' ' + a;
    if (!result.launched) {
        const QString why = result.error.isEmpty() ? QStringLiteral("it could not be started") : result.error;
        return command + QStringLiteral(" could not be started: ") + why;
    }
    if (result.terminationSignal != 0)
        return command + QStringLiteral(" ended by signal ") + QString::number(result.terminationSignal);
    if (result.exitStatus >= 0)
        return command + QStringLiteral(" exited with status ") + QString::number(result.exitStatus);
    return command + QStringLiteral(" ended in an unknown way") + (result.error.isEmpty() ? QString() : QStringLiteral(": ") + result.error);
}

}  // namespace platform
