#include "app/AutostartEntry.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

#include "app/DesktopId.h"

namespace ferrymark {

namespace {

QString entryPath(const QString& folder, const QString& id) {
    return folder + QLatin1Char('/') + id + QStringLiteral(".desktop");
}

}  // namespace

QString AutostartEntry::defaultFolder() {
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty() || !QDir::isAbsolutePath(config)) {
        config = QDir::homePath() + QStringLiteral("/.config");
    }
    return config + QStringLiteral("/autostart");
}

bool AutostartEntry::add(const QString& folder, const QString& program) {
    if (!QDir().mkpath(folder)) {
        return false;
    }
    // Exec quoting of the desktop entry format: the program path in double quotes.
    QString quoted = program;
    for (const char* c : {"\\", "\"", "`", "$"}) {
        quoted.replace(QLatin1String(c), QLatin1String("\\") + QLatin1String(c));
    }
    QSaveFile file(entryPath(folder, DesktopId::kId));
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    const QString entry = QStringLiteral(
                              "[Desktop Entry]\n"
                              "Type=Application\n"
                              "Name=Ferrymark\n"
                              "Comment=Paste and move copied files for your file manager\n"
                              "Exec=\"%1\"\n"
                              "Icon=ferrymark\n"
                              "Terminal=false\n"
                              "X-GNOME-Autostart-enabled=true\n")
                              .arg(quoted);
    file.write(entry.toUtf8());
    return file.commit();
}

bool AutostartEntry::remove(const QString& folder) {
    QFile::remove(entryPath(folder, DesktopId::kId));
    QFile::remove(entryPath(folder, DesktopId::kLegacyId));
    return !exists(folder);
}

bool AutostartEntry::exists(const QString& folder) {
    return QFile::exists(entryPath(folder, DesktopId::kId)) ||
           QFile::exists(entryPath(folder, DesktopId::kLegacyId));
}

bool AutostartEntry::migrate(const QString& folder) {
    const QString legacy = entryPath(folder, DesktopId::kLegacyId);
    if (!QFile::exists(legacy)) {
        return true;
    }
    // A rename keeps what the user changed in it, such as Hidden=true.
    if (!QFile::rename(legacy, entryPath(folder, DesktopId::kId))) {
        QFile::remove(legacy);
    }
    return !QFile::exists(legacy);
}

}  // namespace ferrymark
