#include "PastedCommand.h"

#include <QProcess>

namespace tarn::test {

bool runPasted(const std::string& command, const std::string& typed, std::string* output) {
    QProcess shell;
    shell.setProcessChannelMode(QProcess::MergedChannels);
    shell.start(QStringLiteral("bash"), {QStringLiteral("-c"), QString::fromStdString(command)});
    if (!shell.waitForStarted()) return false;
    shell.write(QByteArray::fromStdString(typed));
    shell.closeWriteChannel();
    // A bound for a hung keyring, not a timing: the command ends in far less.
    const bool finished = shell.waitForFinished(60000);
    if (output != nullptr) *output = shell.readAll().toStdString();
    return finished && shell.exitStatus() == QProcess::NormalExit && shell.exitCode() == 0;
}

}  // namespace tarn::test
