#include "platform/wayland/SwayTree.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <functional>

namespace ferrymark {

namespace {

using Match = std::function<bool(const QJsonObject&)>;

// Depth first through tiled and floating children alike.
std::optional<QJsonObject> find(const QJsonObject& node, const Match& match) {
    if (match(node)) {
        return node;
    }
    for (const char* key : {"nodes", "floating_nodes"}) {
        for (const QJsonValue& child : node.value(QLatin1String(key)).toArray()) {
            if (auto found = find(child.toObject(), match)) {
                return found;
            }
        }
    }
    return std::nullopt;
}

std::optional<SwayWindow> windowOf(const QJsonObject& node) {
    const QString type = node.value(QLatin1String("type")).toString();
    if (type != QLatin1String("con") && type != QLatin1String("floating_con")) {
        return std::nullopt;
    }
    SwayWindow window;
    window.conId = node.value(QLatin1String("id")).toInteger();
    window.appId = node.value(QLatin1String("app_id")).toString().toStdString();
    window.windowClass = node.value(QLatin1String("window_properties"))
                             .toObject()
                             .value(QLatin1String("class"))
                             .toString()
                             .toStdString();
    window.title = node.value(QLatin1String("name")).toString().toStdString();
    window.pid = node.value(QLatin1String("pid")).toInteger();
    // A split container holds windows but is none itself.
    if (window.appId.empty() && window.windowClass.empty() && window.pid == 0) {
        return std::nullopt;
    }
    return window;
}

std::optional<SwayWindow> search(const QByteArray& json, const Match& match) {
    const QJsonDocument document = QJsonDocument::fromJson(json);
    if (!document.isObject()) {
        return std::nullopt;
    }
    if (auto node = find(document.object(), match)) {
        return windowOf(*node);
    }
    return std::nullopt;
}

}  // namespace

std::optional<SwayWindow> SwayTree::focusedWindow(const QByteArray& json) {
    return search(json, [](const QJsonObject& node) {
        return node.value(QLatin1String("focused")).toBool();
    });
}

std::optional<SwayWindow> SwayTree::window(const QByteArray& json, std::int64_t conId) {
    return search(json, [conId](const QJsonObject& node) {
        return node.value(QLatin1String("id")).toInteger(-1) == conId;
    });
}

}  // namespace ferrymark
