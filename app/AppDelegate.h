#pragma once

#include <QObject>

namespace ferrymark {

// The application's delegate: start-up, the tray menu and its commands, quitting.
class AppDelegate : public QObject {
    Q_OBJECT
public:
    explicit AppDelegate(QObject* parent = nullptr);
};

}  // namespace ferrymark
