#include "ui/ConflictComparison.h"

#include <QDateTime>
#include <QFont>
#include <QFrame>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLocale>
#include <QMimeDatabase>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>
#include <utility>

#include "ui/FCUtility.h"
#include "ui/ThumbnailLookup.h"

namespace ferrymark {
namespace {

constexpr int kPictureSize = 48;
// Often enough that an item deleted meanwhile shows as gone before the user answers.
constexpr int kLookAgainMs = 250;

QString sizeText(const ItemFacts& facts) {
    const QLocale locale;
    const QString bytes = QString::fromStdString(FCUtility::dataSizeToString(facts.size));
    switch (facts.kind) {
        case ItemFacts::Kind::Absent:
            return ConflictComparison::tr("No longer there");
        case ItemFacts::Kind::Other:
            return ConflictComparison::tr("Not a file or folder");
        case ItemFacts::Kind::File:
            return facts.size == 1 ? ConflictComparison::tr("%1 (1 byte)").arg(bytes)
                                   : ConflictComparison::tr("%1 (%2 bytes)")
                                         .arg(bytes, locale.toString(qint64(facts.size)));
        case ItemFacts::Kind::Folder:
            break;
    }
    const QString items = locale.toString(qint64(facts.items));
    switch (facts.count) {
        case ItemFacts::Count::Counting:
            return ConflictComparison::tr("Counting…");
        case ItemFacts::Count::CutShort:
            return ConflictComparison::tr("More than %1 items, at least %2").arg(items, bytes);
        case ItemFacts::Count::Partial:
            return ConflictComparison::tr("At least %1 items, %2").arg(items, bytes);
        case ItemFacts::Count::Exact:
            break;
    }
    return facts.items == 1 ? ConflictComparison::tr("1 item, %1").arg(bytes)
                            : ConflictComparison::tr("%1 items, %2").arg(items, bytes);
}

QString timeText(const ItemFacts& facts) {
    if (facts.kind == ItemFacts::Kind::Absent) {
        return {};
    }
    const QDateTime time = QDateTime::fromSecsSinceEpoch(facts.modified);
    return ConflictComparison::tr("Modified %1")
        .arg(QLocale().toString(time, QLocale::ShortFormat));
}

// The icon of the item's type from the icon theme; the name alone decides, so that no file
// is read for it.
QIcon typeIcon(const QString& path, const ItemFacts& facts, const QStyle& style) {
    const bool folder = facts.kind == ItemFacts::Kind::Folder;
    const QMimeDatabase types;
    const QMimeType type = folder ? types.mimeTypeForName(QStringLiteral("inode/directory"))
                                  : types.mimeTypeForFile(path, QMimeDatabase::MatchExtension);
    QIcon icon = QIcon::fromTheme(type.iconName());
    if (icon.isNull()) {
        icon = QIcon::fromTheme(folder ? QStringLiteral("folder") : type.genericIconName());
    }
    if (icon.isNull() || icon.pixmap(kPictureSize, kPictureSize).isNull()) {
        // Without an icon theme.
        icon = style.standardIcon(folder ? QStyle::SP_DirIcon : QStyle::SP_FileIcon);
    }
    return icon;
}

void setBold(QLabel* label) {
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
}

void setTextIfNew(QLabel* label, const QString& text) {
    if (label->text() != text) {
        label->setText(text);
    }
}

}  // namespace

struct ConflictComparison::Column {
    QString path;
    QFrame* frame = nullptr;
    QLabel* picture = nullptr;
    QLabel* heading = nullptr;
    QLabel* size = nullptr;
    QLabel* sizeMark = nullptr;
    QLabel* time = nullptr;
    QLabel* timeMark = nullptr;
    // What the picture was chosen for: a new item at the path gets a new one.
    ItemFacts::Kind pictureKind = ItemFacts::Kind::Absent;
    std::int64_t pictureModified = -1;
    std::unique_ptr<ThumbnailLookup> thumbnail;
};

ConflictComparison::ConflictComparison(const std::string& existingPath,
                                       const std::string& incomingPath, FolderCount::Limits limits,
                                       QWidget* parent)
    : QWidget(parent),
      facts_(existingPath, incomingPath, limits),
      existing_(std::make_unique<Column>()),
      incoming_(std::make_unique<Column>()) {
    existing_->path = QString::fromStdString(existingPath);
    incoming_->path = QString::fromStdString(incomingPath);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* columns = new QHBoxLayout;
    columns->setSpacing(16);
    layout->addLayout(columns);
    build(*existing_, tr("Existing item"));
    build(*incoming_, tr("Item being pasted"));
    existing_->frame->setObjectName(QStringLiteral("existingColumn"));
    incoming_->frame->setObjectName(QStringLiteral("incomingColumn"));
    // Each as wide as its facts: a stretched column could cut a longer one short.
    columns->addWidget(existing_->frame);
    columns->addWidget(incoming_->frame);
    columns->addStretch(1);

    identical_ = new QLabel(tr("Same size and modification time: the two look identical."));
    identical_->setObjectName(QStringLiteral("identicalNote"));
    identical_->setWordWrap(true);
    identical_->hide();
    layout->addWidget(identical_);

    showFacts();
    timer_ = new QTimer(this);
    connect(timer_, &QTimer::timeout, this, [this] {
        facts_.refresh();
        showFacts();
    });
    timer_->start(kLookAgainMs);
}

ConflictComparison::~ConflictComparison() = default;

void ConflictComparison::build(Column& column, const QString& heading) {
    column.frame = new QFrame(this);
    column.frame->setAccessibleName(heading);
    column.frame->setMinimumWidth(180);
    auto* row = new QHBoxLayout(column.frame);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(8);
    column.picture = new QLabel;
    column.picture->setObjectName(QStringLiteral("picture"));
    column.picture->setFixedSize(kPictureSize, kPictureSize);
    column.picture->setAlignment(Qt::AlignCenter);
    row->addWidget(column.picture, 0, Qt::AlignTop);
    auto* lines = new QVBoxLayout;
    lines->setSpacing(2);
    row->addLayout(lines, 1);
    column.heading = new QLabel(heading);
    column.heading->setTextFormat(Qt::PlainText);
    setBold(column.heading);
    lines->addWidget(column.heading);
    // Each mark right after the fact it is about.
    for (auto [fact, mark] :
         {std::pair{&column.size, &column.sizeMark}, std::pair{&column.time, &column.timeMark}}) {
        *fact = new QLabel;
        (*fact)->setTextFormat(Qt::PlainText);
        *mark = new QLabel;
        (*mark)->setTextFormat(Qt::PlainText);
        setBold(*mark);
        auto* line = new QHBoxLayout;
        line->setSpacing(6);
        line->addWidget(*fact);
        line->addWidget(*mark);
        line->addStretch(1);
        lines->addLayout(line);
    }
    lines->addStretch(1);
}

void ConflictComparison::showFacts() {
    const ItemFacts existing = facts_.existing();
    const ItemFacts incoming = facts_.incoming();
    const ItemComparison comparison = ItemComparison::of(existing, incoming);
    showColumn(*existing_, existing, Side::Existing, comparison);
    showColumn(*incoming_, incoming, Side::Incoming, comparison);
    identical_->setVisible(comparison.identical);
    showsCounting_ = existing.count == ItemFacts::Count::Counting ||
                     incoming.count == ItemFacts::Count::Counting;
}

void ConflictComparison::showColumn(Column& column, const ItemFacts& facts, Side side,
                                    const ItemComparison& comparison) {
    setTextIfNew(column.size, sizeText(facts));
    setTextIfNew(column.sizeMark, comparison.larger == side ? tr("Larger") : QString());
    setTextIfNew(column.time, timeText(facts));
    setTextIfNew(column.timeMark, comparison.newer == side ? tr("Newer") : QString());
    column.frame->setAccessibleDescription(texts(side).join(QStringLiteral(", ")));
    showPicture(column, facts);
}

void ConflictComparison::showPicture(Column& column, const ItemFacts& facts) {
    if (facts.kind != column.pictureKind || facts.modified != column.pictureModified) {
        column.pictureKind = facts.kind;
        column.pictureModified = facts.modified;
        column.picture->setPixmap(
            typeIcon(column.path, facts, *style()).pixmap(kPictureSize, kPictureSize));
        column.thumbnail.reset();
        if (facts.kind == ItemFacts::Kind::File) {
            column.thumbnail = std::make_unique<ThumbnailLookup>(column.path, facts.modified);
        }
    }
    if (column.thumbnail && column.thumbnail->finished()) {
        const QImage image = column.thumbnail->image();
        if (!image.isNull()) {
            column.picture->setPixmap(QPixmap::fromImage(image.scaled(
                kPictureSize, kPictureSize, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
        }
        column.thumbnail.reset();
    }
}

QWidget* ConflictComparison::column(Side side) const {
    return side == Side::Existing ? existing_->frame : incoming_->frame;
}

QStringList ConflictComparison::texts(Side side) const {
    const Column& column = side == Side::Existing ? *existing_ : *incoming_;
    QStringList result;
    for (const QLabel* label :
         {column.heading, column.size, column.sizeMark, column.time, column.timeMark}) {
        if (!label->text().isEmpty()) {
            result << label->text();
        }
    }
    return result;
}

QLabel* ConflictComparison::identicalNote() const {
    return identical_;
}

bool ConflictComparison::settled() const {
    return !showsCounting_ && !existing_->thumbnail && !incoming_->thumbnail;
}

}  // namespace ferrymark
