#include "platform/wayland/KWinFileManagerBridge.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDir>
#include <QEventLoop>
#include <QTemporaryFile>
#include <QTimer>

#include "platform/FileManagerLocation.h"

namespace ferrymark {

namespace {

const QString kKWin = QStringLiteral("org.kde.KWin");
const QString kScripting = QStringLiteral("/Scripting");
const QString kScriptingInterface = QStringLiteral("org.kde.kwin.Scripting");

// A string as a JavaScript literal.
QString literal(const QString& text) {
    QString quoted = text;
    quoted.replace(QLatin1Char('\\'), QLatin1String("\\\\"))
        .replace(QLatin1Char('"'), QLatin1String("\\\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

}  // namespace

std::unique_ptr<KWinFileManagerBridge> KWinFileManagerBridge::create(QDBusConnection bus,
                                                                     std::int64_t ownPid) {
    if (!bus.isConnected() || !bus.interface()->isServiceRegistered(kKWin).value()) {
        return nullptr;
    }
    return std::make_unique<KWinFileManagerBridge>(bus, ownPid);
}

KWinFileManagerBridge::KWinFileManagerBridge(QDBusConnection bus, std::int64_t ownPid)
    : bus_(std::move(bus)), ownPid_(ownPid) {
    registered_ = bus_.registerObject(kObjectPath, this, QDBusConnection::ExportScriptableSlots);
}

KWinFileManagerBridge::~KWinFileManagerBridge() {
    if (registered_) {
        bus_.unregisterObject(kObjectPath);
    }
}

// KWin 5 and 6 name the active window differently.
QString KWinFileManagerBridge::reportScript(const QString& service) {
    return QStringLiteral(
               "const w = workspace.activeWindow !== undefined ? workspace.activeWindow "
               ": workspace.activeClient;\n"
               "callDBus(%1, %2, \"org.ferrymark.KWinWindow\", \"Report\",\n"
               "    w ? String(w.resourceClass) : \"\", w ? String(w.caption) : \"\",\n"
               "    w ? String(w.internalId) : \"\", w ? w.pid : 0);\n")
        .arg(literal(service), literal(kObjectPath));
}

QString KWinFileManagerBridge::activateScript(const QString& internalId) {
    return QStringLiteral(
               "const all = workspace.windowList ? workspace.windowList() : "
               "workspace.clientList();\n"
               "for (const w of all) {\n"
               "    if (String(w.internalId) === %1) {\n"
               "        if (workspace.activeWindow !== undefined) workspace.activeWindow = w;\n"
               "        else workspace.activeClient = w;\n"
               "    }\n"
               "}\n")
        .arg(literal(internalId));
}

bool KWinFileManagerBridge::runScript(const QString& source) {
    QTemporaryFile file(QDir::tempPath() + QStringLiteral("/ferrymark-kwin-XXXXXX.js"));
    if (!file.open() || file.write(source.toUtf8()) < 0 || !file.flush()) {
        return false;
    }
    const QString plugin = QStringLiteral("ferrymark-%1-%2")
                               .arg(QCoreApplication::applicationPid())
                               .arg(++scriptCounter_);
    QDBusMessage load = QDBusMessage::createMethodCall(kKWin, kScripting, kScriptingInterface,
                                                       QStringLiteral("loadScript"));
    load.setArguments({file.fileName(), plugin});
    const QDBusReply<int> id = bus_.call(load, QDBus::Block, kTimeoutMs);
    if (!id.isValid() || id.value() < 0) {
        return false;
    }
    // KWin 6 puts a script under /Scripting/Script<id>, KWin 5 under /<id>.
    bool ran = false;
    for (const QString& path : {QStringLiteral("/Scripting/Script%1").arg(id.value()),
                                QStringLiteral("/%1").arg(id.value())}) {
        const QDBusMessage run = QDBusMessage::createMethodCall(
            kKWin, path, QStringLiteral("org.kde.kwin.Script"), QStringLiteral("run"));
        if (bus_.call(run, QDBus::Block, kTimeoutMs).type() == QDBusMessage::ReplyMessage) {
            ran = true;
            break;
        }
    }
    QDBusMessage unload = QDBusMessage::createMethodCall(kKWin, kScripting, kScriptingInterface,
                                                         QStringLiteral("unloadScript"));
    unload.setArguments({plugin});
    bus_.call(unload, QDBus::Block, kTimeoutMs);
    return ran;
}

void KWinFileManagerBridge::Report(const QString& resourceClass, const QString& caption,
                                   const QString& internalId, int pid) {
    report_ = Window{resourceClass, caption, internalId, pid};
    emit reported();
}

std::optional<KWinFileManagerBridge::Window> KWinFileManagerBridge::activeWindow() {
    if (!registered_) {
        return std::nullopt;
    }
    report_.reset();
    QEventLoop loop;
    QTimer timeout;
    timeout.setSingleShot(true);
    connect(&timeout, &QTimer::timeout, &loop, &QEventLoop::quit);
    connect(this, &KWinFileManagerBridge::reported, &loop, &QEventLoop::quit);
    if (!runScript(reportScript(bus_.baseService()))) {
        return std::nullopt;
    }
    // The script's call reaches us through the event loop, perhaps already queued.
    if (!report_) {
        timeout.start(kTimeoutMs);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    if (!report_ || report_->internalId.isEmpty()) {
        return std::nullopt;
    }
    return report_;
}

std::optional<KWinFileManagerBridge::FileManagerWindow>
KWinFileManagerBridge::frontmostFileManager() {
    const auto window = activeWindow();
    if (!window) {
        return std::nullopt;
    }
    if (ownPid_ != 0 && window->pid == ownPid_) {
        return last_;  // one of our windows: the file manager seen last
    }
    const auto kind = FileManagers::fromAppId(window->resourceClass.toStdString());
    if (!kind) {
        return std::nullopt;
    }
    last_ = FileManagerWindow{*window, *kind};
    return last_;
}

bool KWinFileManagerBridge::isFileManagerFrontmost() {
    return frontmostFileManager().has_value();
}

InsertionLocation KWinFileManagerBridge::insertionLocation() {
    const auto front = frontmostFileManager();
    if (!front) {
        return InsertionLocation::none("KWin reports no file-manager window in front");
    }
    return FileManagerLocation::fromTitle(front->kind, front->window.caption.toStdString());
}

bool KWinFileManagerBridge::activateFileManager() {
    return last_ && runScript(activateScript(last_->window.internalId));
}

}  // namespace ferrymark
