#pragma once

#include <vector>

#include "app/INotifier.h"

namespace ferrymark::testing {

// Stands in for the desktop's notification server: keeps what was posted, and lets the
// test play the user picking an action or dismissing a message.
class FakeNotifier final : public INotifier {
    Q_OBJECT
  public:
    struct Posted {
        quint32 id;
        QString summary;
        QString body;
        QStringList actions;
        bool persistent;
    };

    bool serverPresent() override { return present; }
    bool supportsActions() override { return actions; }
    quint32 post(const QString& summary, const QString& body, const QStringList& actionList,
                 bool persistent) override {
        const quint32 id = failPosts ? 0 : nextId++;
        posted.push_back({id, summary, body, actionList, persistent});
        return id;
    }

    void invoke(quint32 id, const QString& key) { emit actionInvoked(id, key); }
    void dismiss(quint32 id) { emit closed(id); }

    bool present = true;
    bool actions = true;
    bool failPosts = false;
    quint32 nextId = 7;
    std::vector<Posted> posted;
};

}  // namespace ferrymark::testing
