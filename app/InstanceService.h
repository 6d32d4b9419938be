#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

namespace ferrymark {

// The one Ferrymark of a session: it owns a name on the session bus and takes the Paste
// and Move commands of "ferrymark --paste" and "ferrymark --move" there.
class InstanceService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.ferrymark.Ferrymark")
  public:
    static const QString kServiceName;  // org.ferrymark.Ferrymark
    static const QString kObjectPath;   // /org/ferrymark/Ferrymark

    explicit InstanceService(QDBusConnection bus, QObject* parent = nullptr);
    ~InstanceService() override;

    enum class Claim { Owned, HeldByAnother, NoBus };
    // Takes the name, never queueing for it: of two started at once one gets it.
    Claim claim();

  public slots:
    // An empty folder: the folder of the file-manager window in front. The command runs
    // after the reply, so that a prompt does not hold the caller.
    Q_SCRIPTABLE void Paste(const QString& folder);
    Q_SCRIPTABLE void Move(const QString& folder);

  signals:
    void commandRequested(bool move, const QString& folder);

  private:
    QDBusConnection bus_;
    bool owned_ = false;
};

}  // namespace ferrymark
