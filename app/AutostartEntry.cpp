#include "app/AutostartEntry.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

namespace ferrymark {

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
    QSaveFile file(folder + QStringLiteral("/ferrymark.desktop"));
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
    QFile::remove(folder + QStringLiteral("/ferrymark.desktop"));
    return !exists(folder);
}

bool AutostartEntry::exists(const QString& folder) {
    return QFile::exists(folder + QStringLiteral("/ferrymark.desktop"));
}

}  // namespace ferrymark
