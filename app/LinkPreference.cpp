#include "app/LinkPreference.h"

#include <QGroupBox>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/UserDefaults.h"

namespace ferrymark {
namespace {

const QString kSetting = QStringLiteral("keepLinks");

}  // namespace

bool LinkPreference::keepLinks() const {
    return defaults_.boolValue(kSetting);
}

void LinkPreference::setKeepLinks(bool keep) {
    defaults_.setBool(kSetting, keep);
    defaults_.synchronize();
}

QWidget* LinkPreference::makeBox(QWidget* parent) {
    auto* box = new QGroupBox(tr("Links inside folders"), parent);
    box->setObjectName(QStringLiteral("gbLinks"));
    auto* layout = new QVBoxLayout(box);
    auto* follow = new QRadioButton(tr("Copy what they point to"), box);
    follow->setObjectName(QStringLiteral("rbFollowLinks"));
    auto* keep = new QRadioButton(tr("Keep them as links"), box);
    keep->setObjectName(QStringLiteral("rbKeepLinks"));
    (keepLinks() ? keep : follow)->setChecked(true);
    QObject::connect(keep, &QRadioButton::toggled, box, [this](bool on) { setKeepLinks(on); });
    layout->addWidget(follow);
    layout->addWidget(keep);
    return box;
}

}  // namespace ferrymark
