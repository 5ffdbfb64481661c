#include "qtsupport/DataFolder.h"

#include "files/TextFile.h"

#include <BuildInfo.h>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <cerrno>
#include <sys/stat.h>

namespace DataFolder {

QString Path() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/veldrano");
}

std::string File(const char* name) {
    return QFile::encodeName(Path() + QLatin1Char('/') + QLatin1String(name)).toStdString();
}

void EnsureCreated() {
    QString path = Path();
    if (!QDir().mkpath(path))
        throw veldrano::FileError("Cannot create folder \"" + path.toStdString() + "\".");
    auto ensure = [](const char* name, int lines, veldrano::FileAccess access) {
        std::string file = File(name);
        struct stat st {};
        if (::stat(file.c_str(), &st) != 0 && errno == ENOENT)
            veldrano::WriteTextLines(file, veldrano::Lines(lines), access);
    };
    ensure("menu.dat", 5, veldrano::FileAccess::Shared);
    ensure("correo.cfg", 3, veldrano::FileAccess::Private); // it will hold a password
}

QString HelpPagePath() {
    const QString dir = QCoreApplication::applicationDirPath();
    const QString page = QStringLiteral("veldrano/ayuda.htm");
    QStringList candidates{
        dir + QStringLiteral("/ayuda.htm"), // the build tree
        // The installation the binary belongs to, whatever prefix or staging folder it is in.
        dir + QStringLiteral("/" VELDRANO_DATADIR_FROM_BINDIR "/") + page,
    };
    candidates += QStandardPaths::locateAll(QStandardPaths::GenericDataLocation, page);
    candidates += QStringLiteral(VELDRANO_DATADIR "/") + page; // the prefix it was built for
    for (const QString& candidate : candidates) {
        if (QFileInfo::exists(candidate))
            return QFileInfo(candidate).canonicalFilePath();
    }
    return candidates[1];
}

} // namespace DataFolder
