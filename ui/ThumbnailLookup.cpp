#include "ui/ThumbnailLookup.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QStandardPaths>
#include <QUrl>
#include <thread>

namespace ferrymark {

struct ThumbnailLookup::State {
    mutable QMutex lock;
    bool finished = false;
    QImage image;
};

ThumbnailLookup::ThumbnailLookup(const QString& path, qint64 modified)
    : state_(std::make_shared<State>()) {
    // A thread of its own, not Qt's pool: a hung file system holds up only this look-up,
    // and the hand-over is one the thread sanitizer sees.
    std::thread([state = state_, path, modified] {
        const QImage image = find(path, modified);
        const QMutexLocker guard(&state->lock);
        state->image = image;
        state->finished = true;
    }).detach();
}

ThumbnailLookup::~ThumbnailLookup() = default;

bool ThumbnailLookup::finished() const {
    const QMutexLocker guard(&state_->lock);
    return state_->finished;
}

QImage ThumbnailLookup::image() const {
    const QMutexLocker guard(&state_->lock);
    return state_->image;
}

QImage ThumbnailLookup::find(const QString& path, qint64 modified) {
    const QByteArray uri = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toEncoded();
    const QString name =
        QString::fromLatin1(QCryptographicHash::hash(uri, QCryptographicHash::Md5).toHex()) +
        QStringLiteral(".png");
    const QDir cache(QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
                     QStringLiteral("/thumbnails"));
    // The smallest first: even that is larger than the prompt's picture.
    for (const char* size : {"normal", "large", "x-large", "xx-large"}) {
        // The stamp is read from the image: the reader's own text keys end at the first ':'.
        QImage image(cache.filePath(QLatin1String(size) + QLatin1Char('/') + name), "png");
        if (!image.isNull() &&
            image.text(QStringLiteral("Thumb::MTime")) == QString::number(modified)) {
            return image;
        }
    }
    return {};
}

}  // namespace ferrymark
