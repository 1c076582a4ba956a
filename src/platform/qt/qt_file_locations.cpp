#include "platform/qt/qt_file_locations.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace kv7 {

namespace {

std::filesystem::path fsPath(const QString& s) {
    return s.isEmpty() ? std::filesystem::path() : std::filesystem::path(s.toStdU16String());
}

// Whether a file can be made in the folder: the only answer that holds for permissions, access
// lists and read-only media alike. The probe is gone again at once.
bool canWriteIn(const std::filesystem::path& folder) {
    QTemporaryFile probe(QDir(qtPath(folder)).filePath(QStringLiteral(".swkv7adj-probe-XXXXXX")));
    return probe.open();
}

bool sameFolder(const QString& a, const QString& b) {
    const QString ca = QFileInfo(a).canonicalFilePath();
    return !ca.isEmpty() && ca == QFileInfo(b).canonicalFilePath();
}

// The folder the package manager or an installer put the program in.
bool installedProgramFolder(const QString& dir) {
#ifdef KV7_INSTALL_BINDIR
    if (sameFolder(dir, QString::fromUtf8(KV7_INSTALL_BINDIR))) return true;
#endif
#ifdef Q_OS_WIN
    const QString canonical = QFileInfo(dir).canonicalFilePath();
    for (const char* var : {"ProgramFiles", "ProgramFiles(x86)", "ProgramW6432"}) {
        const QString root = QFileInfo(qEnvironmentVariable(var)).canonicalFilePath();
        if (!root.isEmpty() && canonical.startsWith(root + QLatin1Char('/'), Qt::CaseInsensitive))
            return true;
    }
#endif
    return false;
}

}  // namespace

QString qtPath(const std::filesystem::path& p) {
    return QString::fromStdU16String(p.u16string());
}

std::string nativePathText(const std::filesystem::path& p) {
    return QDir::toNativeSeparators(qtPath(p)).toStdString();
}

QString installedManual() {
    const QDir program(QCoreApplication::applicationDirPath());
    QStringList folders{program.path(), program.filePath(QStringLiteral("doc")),
                        program.filePath(QStringLiteral("../share/doc/swkv7adj"))};
#ifdef KV7_INSTALL_DOCDIR
    folders << QString::fromUtf8(KV7_INSTALL_DOCDIR);
#endif
#ifdef KV7_SOURCE_DIR
    // A program run from its build folder reads the manual of its sources.
    folders << QString::fromUtf8(KV7_SOURCE_DIR);
#endif
    for (const QString& folder : folders) {
        for (const char* name : {"README.html", "README.md", "README.txt"}) {
            const QFileInfo file(QDir(folder).filePath(QString::fromLatin1(name)));
            if (file.isFile()) return QDir::cleanPath(file.absoluteFilePath());
        }
    }
    return {};
}

FileLocations qtFileLocations() {
    // The per-user folders are named after the application; kv7-session asks for the
    // adjustment program's.
    const QString ownName = QCoreApplication::applicationName();
    QCoreApplication::setApplicationName(QString::fromLatin1(kUserFolderName));
    FileFolders folders;
    const QString programDir = QCoreApplication::applicationDirPath();
    folders.program = fsPath(programDir);
    folders.programInstalled = installedProgramFolder(programDir);
    folders.userConfig =
        fsPath(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation));
    folders.userData = fsPath(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
    QCoreApplication::setApplicationName(ownName);
    return ChooseFileLocations(folders, canWriteIn, [](const std::filesystem::path& p) {
        return QFileInfo(qtPath(p)).isFile();
    });
}

}  // namespace kv7
