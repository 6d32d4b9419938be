#pragma once

#include <QObject>

class QSocketNotifier;

namespace ferrymark {

// Turns SIGTERM and SIGINT into a Qt signal on the UI thread, so that they quit through the
// same path as the menu.
class SignalRelay : public QObject {
    Q_OBJECT
  public:
    explicit SignalRelay(QObject* parent = nullptr);
    ~SignalRelay() override;

  signals:
    void terminationRequested();

  private:
    static void handle(int signal);
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace ferrymark
