#pragma once

#include <QMap>
#include <QString>
#include <QStringList>
#include <memory>
#include <mutex>
#include <set>

#include "StandInBus.h"

namespace ferrymark::testing {

// Plasma's session-bus services as Ferrymark uses them: kglobalaccel (register, set and
// drop shortcuts, a component that signals a pressed one) and KWin's scripting (load,
// run, unload). A script is not run as JavaScript: a report script's D-Bus call is made
// with the window set here, and an activation script's window id is recorded. Answers
// from a thread of its own, so a blocking call from the UI thread gets its reply.
class StandInKde {
  public:
    struct Window {
        QString resourceClass;
        QString caption;
        QString internalId;  // empty: no window is active
        int pid = 0;
    };

    StandInKde();
    ~StandInKde();
    StandInKde(const StandInKde&) = delete;
    StandInKde& operator=(const StandInKde&) = delete;

    bool registered() const { return bus_->registered(); }

    void setActiveWindow(Window window);
    // Keys that another program holds: setShortcut gives them to nobody else.
    void takeKey(int key);
    // Ferrymark's shortcuts by name, with their keys.
    QMap<QString, int> shortcuts() const;
    // The window ids that activation scripts asked for, and the scripts still loaded.
    QStringList activated() const;
    int loadedScripts() const;
    // kglobalaccel's invokeShortcut: the component signals the shortcut as pressed.
    void press(const QString& shortcut);

  private:
    class Service;
    struct State {
        mutable std::mutex mutex;
        Window active;
        std::set<int> taken;
        QMap<QString, int> shortcuts;
        QMap<int, QString> scripts;  // by id
        QMap<QString, int> plugins;  // plugin name to id
        int nextId = 0;
        QStringList activated;
    };

    std::shared_ptr<State> state_;
    std::unique_ptr<StandInBus> bus_;
};

}  // namespace ferrymark::testing
