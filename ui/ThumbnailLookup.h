#pragma once

#include <QImage>
#include <QString>
#include <memory>

namespace ferrymark {

// Looks up an item's picture in the freedesktop thumbnail cache, on a pool thread: a
// prompt never waits for the disk and never makes a thumbnail itself.
class ThumbnailLookup {
  public:
    // Starts looking for the thumbnail of path, whose modification time is modified.
    ThumbnailLookup(const QString& path, qint64 modified);
    ~ThumbnailLookup();
    ThumbnailLookup(const ThumbnailLookup&) = delete;
    ThumbnailLookup& operator=(const ThumbnailLookup&) = delete;

    bool finished() const;
    // The thumbnail once found; a null image while looking or when the cache has none.
    QImage image() const;

    // The cached thumbnail of path, read on the caller's thread. One made for an older
    // state of the file (its Thumb::MTime differs) is none.
    static QImage find(const QString& path, qint64 modified);

  private:
    struct State;
    std::shared_ptr<State> state_;
};

}  // namespace ferrymark
