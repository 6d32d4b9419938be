#include "app/TurnsPreference.h"

#include <QCheckBox>

#include "app/UserDefaults.h"

namespace ferrymark {
namespace {

const QString kSetting = QStringLiteral("takeTurns");

}  // namespace

bool TurnsPreference::takeTurns() const {
    return defaults_.boolValue(kSetting);
}

void TurnsPreference::setTakeTurns(bool on) {
    defaults_.setBool(kSetting, on);
    defaults_.synchronize();
}

QWidget* TurnsPreference::makeBox(QWidget* parent) {
    auto* box = new QCheckBox(tr("Transfers to the same disk take turns"), parent);
    box->setObjectName(QStringLiteral("cbTakeTurns"));
    box->setToolTip(
        tr("One transfer at a time on each disk is faster than several at once. "
           "A waiting transfer can still be started at once from its window."));
    box->setChecked(takeTurns());
    QObject::connect(box, &QCheckBox::toggled, box, [this](bool on) { setTakeTurns(on); });
    return box;
}

}  // namespace ferrymark
