#include "app/PreferencesWindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QKeySequenceEdit>
#include <QLabel>
#include <QVBoxLayout>
#include <algorithm>

namespace ferrymark {
namespace {

// The frame's buttons and margins beside a window title.
constexpr int kTitleBarRoom = 160;

}  // namespace

PreferencesWindow::PreferencesWindow(Model model, QWidget* parent)
    : QDialog(parent), model_(std::move(model)) {
    setWindowTitle(tr("Ferrymark Preferences"));
    setAttribute(Qt::WA_QuitOnClose, false);
    auto* layout = new QVBoxLayout(this);

    startAtLogin_ = new QCheckBox(tr("Start at login"), this);
    startAtLogin_->setChecked(model_.startAtLogin);
    connect(startAtLogin_, &QCheckBox::toggled, this, [this](bool on) {
        const bool now = model_.setStartAtLogin(on);
        if (now != on) {
            const QSignalBlocker block(startAtLogin_);
            startAtLogin_->setChecked(now);
            message_->setText(tr("The autostart entry could not be changed."));
        }
    });
    layout->addWidget(startAtLogin_);

    // Reading a copy back costs a second read of it; a Move is worth it by default, since
    // it removes the original.
    auto* checking = new QFormLayout;
    checkCopies_ = new QComboBox(this);
    checkCopies_->addItem(tr("For moves only"));
    checkCopies_->addItem(tr("For every transfer"));
    checkCopies_->addItem(tr("Never"));
    checkCopies_->setCurrentIndex(model_.checkCopies);
    connect(checkCopies_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (model_.setCheckCopies) {
            model_.setCheckCopies(index);
        }
    });
    checking->addRow(tr("Check copies against their originals:"), checkCopies_);
    layout->addLayout(checking);

    auto* keys = new QGroupBox(tr("Hot keys"), this);
    auto* form = new QFormLayout(keys);
    for (const HotKeyRow& row : model_.hotKeys) {
        auto* edit = new QKeySequenceEdit(row.sequence, keys);
        edit->setObjectName(QString::fromLatin1(row.slot));
        const QByteArray slot = row.slot;
        connect(edit, &QKeySequenceEdit::editingFinished, this,
                [this, slot] { applyHotKey(slot); });
        form->addRow(row.title, edit);
        edits_.push_back(edit);
    }
    layout->addWidget(keys);
    for (const auto& makeBox : model_.boxes) {
        layout->addWidget(makeBox(this));
    }

    message_ = new QLabel(this);
    message_->setWordWrap(true);
    message_->setTextFormat(Qt::PlainText);
    layout->addWidget(message_);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    layout->addWidget(buttons);

    // Wide enough for the whole title beside the frame's buttons, in any language.
    setMinimumWidth(std::max(sizeHint().width(),
                             fontMetrics().horizontalAdvance(windowTitle()) + kTitleBarRoom));
}

QKeySequenceEdit* PreferencesWindow::hotKeyEdit(const QByteArray& slot) const {
    for (QKeySequenceEdit* edit : edits_) {
        if (edit->objectName() == QLatin1String(slot)) {
            return edit;
        }
    }
    return nullptr;
}

void PreferencesWindow::applyHotKey(const QByteArray& slot) {
    QKeySequenceEdit* edit = hotKeyEdit(slot);
    for (HotKeyRow& row : model_.hotKeys) {
        if (row.slot != slot || edit == nullptr) {
            continue;
        }
        // The editor records up to four combinations; a hot key is the first.
        const QKeySequence typed = edit->keySequence();
        const QKeySequence wanted = typed.isEmpty() ? typed : QKeySequence(typed[0]);
        if (wanted == row.sequence) {
            edit->setKeySequence(row.sequence);
            return;
        }
        const QString refusal = model_.changeHotKey(slot, wanted);
        if (refusal.isEmpty()) {
            row.sequence = wanted;
            message_->setText(
                tr("%1 is now %2.").arg(row.title, wanted.toString(QKeySequence::NativeText)));
        } else {
            message_->setText(refusal);
        }
        edit->setKeySequence(row.sequence);
    }
}

}  // namespace ferrymark
