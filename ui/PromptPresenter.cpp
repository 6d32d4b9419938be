#include "ui/PromptPresenter.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTimer>

#include "engine/ConflictPolicy.h"
#include "ui/AlertWindowController.h"
#include "ui/ConflictComparison.h"

namespace ferrymark {
namespace {

constexpr int kIconSize = 64;

// The engine's texts as lupdate sees them: "%@" written as numbered places, so that a
// translation may name the items in another order.
constexpr const char* kEngineTexts[] = {
    QT_TRANSLATE_NOOP("PromptTexts",
                      "An item named “%1” already exists in this location. Do you want to "
                      "replace it with the one you’re moving?"),
    QT_TRANSLATE_NOOP("PromptTexts",
                      "A directory named “%1” already exists in this location. Do you want to "
                      "merge it with the one you’re moving?"),
    QT_TRANSLATE_NOOP(
        "PromptTexts",
        "Can not copy to specified location, permission denied. Click continue to skip."),
    QT_TRANSLATE_NOOP("PromptTexts",
                      "Operation paused as the disk is full. Free up some space and click "
                      "continue to retry."),
    QT_TRANSLATE_NOOP("PromptTexts",
                      "The disk reported an error while saving “%1”: %2. Choose Retry to try "
                      "again or Skip to leave it out, and click continue."),
    QT_TRANSLATE_NOOP("PromptTexts", "Can not read “%1”. Click continue to skip."),
    QT_TRANSLATE_NOOP("PromptTexts",
                      "You do not have the permission to replace existing file “%1”."),
    QT_TRANSLATE_NOOP("PromptTexts",
                      "You do not have the permission to replace existing directory “%1”, the "
                      "directory cannot be copied."),
    QT_TRANSLATE_NOOP("PromptTexts",
                      "“%1” can not replace “%2”, because it is inside it. Nothing was "
                      "replaced. Click continue to skip."),
    QT_TRANSLATE_NOOP("PromptTexts",
                      "You can’t paste “%1” at this location because you can’t paste an item "
                      "into itself."),
    QT_TRANSLATE_NOOP("PromptTexts",
                      "File copying in Progress. Do you want to quit application. Click Yes to "
                      "abort copying operation."),
    QT_TRANSLATE_NOOP("PromptTexts", "Yes"),
    QT_TRANSLATE_NOOP("PromptTexts", "No"),
};

QString translated(const QByteArray& english) {
    for (const char* text : kEngineTexts) {
        if (english == text) {
            return QCoreApplication::translate("PromptTexts", text);
        }
    }
    return QString::fromUtf8(english);
}

// The engine's message in the user's language, filled with its names.
QString message(const Prompt& prompt) {
    if (prompt.format.empty()) {
        return QString::fromStdString(prompt.message);
    }
    QByteArray numbered = QByteArray::fromStdString(prompt.format);
    for (int place = 1; numbered.contains("%@"); ++place) {
        const auto at = numbered.indexOf("%@");
        numbered.replace(at, 2, '%' + QByteArray::number(place));
    }
    QString text = translated(numbered);
    // All at once: a name that holds "%2" stays as it is.
    switch (prompt.arguments.size()) {
        case 0:
            return text;
        case 1:
            return text.arg(QString::fromStdString(prompt.arguments[0]));
        default:
            return text.arg(QString::fromStdString(prompt.arguments[0]),
                            QString::fromStdString(prompt.arguments[1]));
    }
}

QString buttonTitle(const std::string& english) {
    return translated(QByteArray::fromStdString(english));
}

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
    dialog->alertMessage()->setText(message(prompt));
    if (!prompt.existingPath.empty()) {
        dialog->setComparison(new ConflictComparison(prompt.existingPath, prompt.iconPath));
    }

    switch (prompt.options) {
        case PromptOptions::Hidden:
            dialog->popupOptions()->hide();
            break;
        case PromptOptions::Shown:
            break;
        case PromptOptions::RetryOrSkip:
            dialog->popupOptions()->clear();
            dialog->popupOptions()->addItem(QCoreApplication::translate("AlertWindow", "Retry"), 0);
            dialog->popupOptions()->addItem(QCoreApplication::translate("AlertWindow", "Skip"),
                                            Policy::Skip);
            dialog->popupOptions()->setCurrentIndex(0);
            break;
        case PromptOptions::ShownWithMerge:
            dialog->popupOptions()->insertItem(
                0, QCoreApplication::translate("AlertWindow", "Merge"), Policy::Merge);
            dialog->popupOptions()->setCurrentIndex(0);
            break;
    }
    dialog->cbDontAsk()->setVisible(prompt.showDontAsk);
    if (!prompt.stopTitle.empty()) {
        dialog->btnStop()->setText(buttonTitle(prompt.stopTitle));
    }
    if (!prompt.continueTitle.empty()) {
        dialog->btnContinue()->setText(buttonTitle(prompt.continueTitle));
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
