#include "app/AppDelegate.h"

namespace ferrymark {

AppDelegate::AppDelegate(QObject* parent) : QObject(parent) {}

}  // namespace ferrymark
