#include "ui/OutcomeTexts.h"

#include <QLocale>

namespace ferrymark {
namespace {

// The engine's words for the reasons about the disk itself, as lupdate sees them.
[[maybe_unused]] constexpr const char* kDiskReasons[] = {
    QT_TRANSLATE_NOOP("TransferReport",
                      "the disk reported an error while saving it, so this copy may be damaged"),
    QT_TRANSLATE_NOOP("TransferReport", "not copied: the disk reported an error while writing it"),
    QT_TRANSLATE_NOOP("TransferReport", "the copy differs from the original"),
};

}  // namespace

QString OutcomeTexts::items(std::int64_t count) {
    if (count == 1) {
        return tr("1 item");
    }
    return tr("%1 items").arg(QLocale().toString(qlonglong{count}));
}

QString OutcomeTexts::doneTitle(const TransferOutcome& outcome) {
    const QString format = outcome.move ? tr("Moved %1 to “%2”") : tr("Copied %1 to “%2”");
    return format.arg(items(outcome.transferred), QString::fromStdString(outcome.targetName));
}

QString OutcomeTexts::incompleteTitle(const TransferOutcome& outcome) {
    if (outcome.stopped) {
        return tr("Transfer to “%1” stopped").arg(QString::fromStdString(outcome.targetName));
    }
    const QString format = outcome.move ? tr("Not everything was moved to “%1”")
                                        : tr("Not everything was copied to “%1”");
    return format.arg(QString::fromStdString(outcome.targetName));
}

QString OutcomeTexts::counts(const TransferOutcome& outcome) {
    if (outcome.notTransferred == 0) {
        return tr("%1 transferred before the stop.").arg(items(outcome.transferred));
    }
    return tr("%1 transferred, %2 not transferred.")
        .arg(items(outcome.transferred), QLocale().toString(qlonglong{outcome.notTransferred}));
}

QString OutcomeTexts::reason(NotTransferredReason reason) {
    // The engine's plain English words, translatable here.
    QString text =
        QCoreApplication::translate("TransferReport", TransferReport::reasonText(reason));
    if (!text.isEmpty()) {
        text[0] = text[0].toUpper();
    }
    return text;
}

QString OutcomeTexts::list(const TransferOutcome& outcome) {
    QStringList lines;
    if (outcome.notTransferred == 0) {
        lines << tr("Nothing was left out before the stop; items not reached are not listed.");
    }
    for (std::size_t i = 0; i < kNotTransferredReasonCount; ++i) {
        const auto why = static_cast<NotTransferredReason>(i);
        if (outcome.counts[i] == 0) {
            continue;
        }
        if (!lines.isEmpty()) {
            lines << QString();
        }
        lines << tr("%1 (%2)").arg(reason(why), QLocale().toString(qlonglong{outcome.counts[i]}));
        for (const NotTransferredItem& item : outcome.entries) {
            if (item.reason != why) {
                continue;
            }
            QString line = QStringLiteral("    ") + QString::fromStdString(item.path);
            if (!item.detail.empty()) {
                line += tr(" — %1").arg(QString::fromStdString(item.detail));
            }
            lines << line;
        }
    }
    if (outcome.omitted > 0) {
        lines << QString()
              << tr("and %1 more not listed").arg(QLocale().toString(qlonglong{outcome.omitted}));
    }
    return lines.join(QLatin1Char('\n'));
}

}  // namespace ferrymark
