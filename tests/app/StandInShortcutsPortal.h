#pragma once

#include <QString>
#include <QStringList>
#include <map>
#include <memory>
#include <mutex>
#include <set>

#include "StandInBus.h"

namespace ferrymark::testing {

// The desktop portal's GlobalShortcuts as Ferrymark uses it: the host registry, sessions
// made and closed, one BindShortcuts a session answered through a Request's Response,
// and Activated. Answers from a thread of its own.
class StandInShortcutsPortal {
  public:
    struct Behaviour {
        // From portal 1.21 a host program without a registered app id gets no session. The
        // app id is taken only as a connection's first call.
        bool requireRegistration = true;
        // Plasma 5.27 binds only what CreateSession's "shortcuts" option named.
        bool bindFromCreateSession = false;
        QStringList declined;  // ids the desktop leaves unbound
        // False: a portal without GlobalShortcuts, as GNOME 43's (no backend offers it).
        bool globalShortcuts = true;
        // The code a binding is answered with, its list of bound shortcuts regardless:
        // GNOME's backend 48.0 never sets it.
        uint bindCode = 0;
    };

    StandInShortcutsPortal();
    ~StandInShortcutsPortal();
    StandInShortcutsPortal(const StandInShortcutsPortal&) = delete;
    StandInShortcutsPortal& operator=(const StandInShortcutsPortal&) = delete;

    bool registered() const { return bus_->registered(); }
    void reset(Behaviour behaviour);

    QString appId() const;
    // The last bound list: id to its preferred trigger. Sessions made and closed.
    std::map<QString, QString> bound() const;
    // The descriptions BindShortcuts was given, by id.
    std::map<QString, QString> descriptions() const;
    int binds() const;
    int sessions() const;
    int closedSessions() const;
    // Sends Activated for id in the newest session.
    void activate(const QString& id);

  private:
    class Service;
    struct State {
        mutable std::mutex mutex;
        Behaviour behaviour;
        std::set<QString> registeredSenders;
        std::set<QString> calledSenders;  // connections that made any call
        std::map<QString, QString> descriptions;
        QString appId;
        std::map<QString, std::map<QString, QString>> offered;  // by session: CreateSession's
        std::set<QString> boundSessions;
        std::map<QString, QString> bound;
        QString newestSession;
        int binds = 0;
        int sessions = 0;
        int closed = 0;
    };

    std::shared_ptr<State> state_;
    std::unique_ptr<StandInBus> bus_;
};

}  // namespace ferrymark::testing
