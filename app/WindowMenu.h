#pragma once

#include <QObject>
#include <map>
#include <memory>
#include <vector>

class QAction;
class QMenu;

namespace ferrymark {

class CopyHandler;

// The running transfers, one entry each, under the status menu's windowMenuItem. Choosing
// an entry brings the job's progress window to the front. A job waiting for its turn on a
// disk is listed as waiting. UI thread only.
class WindowMenu : public QObject {
    Q_OBJECT
  public:
    // windowMenuItem carries windowMenu as its submenu; both belong to the status menu.
    WindowMenu(QAction* windowMenuItem, QMenu* windowMenu, QObject* parent = nullptr);

    void add(const std::shared_ptr<CopyHandler>& job);
    // Removes the job's own entry; a job that was never added changes nothing.
    void remove(const CopyHandler* job);

    QAction* windowMenuItem() const { return windowMenuItem_; }
    QMenu* windowMenu() const { return windowMenu_; }
    // The listed jobs, in the order their transfers started.
    std::vector<std::shared_ptr<CopyHandler>> jobs() const;
    // Brings each entry's title up to date with its job; done whenever the menu opens.
    void refresh();

  private:
    QAction* windowMenuItem_;
    QMenu* windowMenu_;
    std::map<QAction*, std::shared_ptr<CopyHandler>> entries_;
};

}  // namespace ferrymark
