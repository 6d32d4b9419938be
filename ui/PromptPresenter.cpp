#include "ui/PromptPresenter.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTimer>

#include "engine/ConflictPolicy.h"
#include "ui/AlertWindowController.h"

namespace ferrymark {
namespace {

constexpr int kIconSize = 64;

QIcon iconFor(const Prompt& prompt, const QStyle& style) {
    if (prompt.image == PromptImage::FileIcon) {
        const QFileInfo info(QString::fromStdString(prompt.iconPath));
        const QIcon icon = QFileIconProvider().icon(info);
        if (!icon.pixmap(kIconSize, kIconSize).isNull()) {
            return icon;
        }
        // Without an icon theme the provider may have nothing to draw.
        return style.standardIcon(info.isDir() ? QStyle::SP_DirIcon : QStyle::SP_FileIcon);
    }
    return QIcon::fromTheme(QStringLiteral("dialog-warning"),
                            style.standardIcon(QStyle::SP_MessageBoxWarning));
}

}  // namespace

std::unique_ptr<AlertWindowController> PromptPresenter::makeDialog(const Prompt& prompt,
                                                                   QWidget* parent) {
    auto dialog = std::make_unique<AlertWindowController>(parent);
    dialog->alertImage()->setPixmap(iconFor(prompt, *dialog->style()).pixmap(kIconSize, kIconSize));
    dialog->alertMessage()->setText(QString::fromStdString(prompt.message));

    switch (prompt.options) {
        case PromptOptions::Hidden:
            dialog->popupOptions()->hide();
            break;
        case PromptOptions::Shown:
            break;
        case PromptOptions::ShownWithMerge:
            dialog->popupOptions()->insertItem(0, QStringLiteral("Merge"), Policy::Merge);
            dialog->popupOptions()->setCurrentIndex(0);
            break;
    }
    dialog->cbDontAsk()->setVisible(prompt.showDontAsk);
    if (!prompt.stopTitle.empty()) {
        dialog->btnStop()->setText(QString::fromStdString(prompt.stopTitle));
    }
    if (!prompt.continueTitle.empty()) {
        dialog->btnContinue()->setText(QString::fromStdString(prompt.continueTitle));
    }
    return dialog;
}

PromptAnswer PromptPresenter::ask(const Prompt& prompt, bool focus, QWidget* parent) {
    const auto dialog = makeDialog(prompt, parent);
    if (focus) {
        AlertWindowController* shown = dialog.get();
        // Runs inside the modal loop, once the dialog is on screen.
        QTimer::singleShot(0, shown, [shown] {
            shown->raise();
            shown->activateWindow();
        });
    }
    PromptAnswer answer;
    answer.code = dialog->runModal();
    answer.dontAsk = prompt.showDontAsk && dialog->cbDontAsk()->isChecked();
    return answer;
}

}  // namespace ferrymark
