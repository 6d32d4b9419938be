#pragma once

#include <QByteArray>
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
    // The same with the folder's bytes (D-Bus "ay"), for a name that is not valid UTF-8.
    Q_SCRIPTABLE void PastePath(const QByteArray& folder);
    Q_SCRIPTABLE void MovePath(const QByteArray& folder);

  signals:
    void commandRequested(bool move, const QByteArray& folder);

  private:
    QDBusConnection bus_;
    bool owned_ = false;
};

}  // namespace ferrymark
