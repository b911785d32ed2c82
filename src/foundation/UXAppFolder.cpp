#include "foundation/UXAppFolder.h"

#include "foundation/UXText.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cstdlib>

namespace {

std::string WithSlash(std::string path) {
    if (path.empty() || path.back() != '/')
        path += '/';
    return path;
}

} // namespace

std::string AppFolder() {
    if (const char* home = std::getenv("SARVOLENTIS_HOME"); home != nullptr && *home != '\0') {
        QDir().mkpath(QFile::decodeName(home));
        return WithSlash(home);
    }
    const std::string exe = ExeFolder();
    if (QFileInfo(QFile::decodeName(QByteArray::fromStdString(exe))).isWritable())
        return WithSlash(exe);
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(data);
    return WithSlash(QFile::encodeName(data).toStdString());
}

int ParamIndex(std::string_view name) {
    std::vector<std::string> args;
    for (const QString& a : QCoreApplication::arguments())
        args.push_back(QFile::encodeName(a).toStdString());
    return ParamIndex(name, args);
}
