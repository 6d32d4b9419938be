#pragma once

#include <QWidget>
#include <memory>
#include <string>

#include "engine/ConflictFacts.h"

class QLabel;
class QTimer;

namespace ferrymark {

class ThumbnailLookup;

// The two items of a name conflict side by side, the one already there and the one being
// pasted: picture, size, modification time, the newer and the larger marked. Folders are
// counted and thumbnails looked up in the background; the facts are looked at again while
// the prompt stays open, so an item that goes away is shown as gone.
class ConflictComparison : public QWidget {
    Q_OBJECT
  public:
    using Side = ItemComparison::Side;

    ConflictComparison(const std::string& existingPath, const std::string& incomingPath,
                       FolderCount::Limits limits = {}, QWidget* parent = nullptr);
    ~ConflictComparison() override;

    // One side's column, whose accessible name says which item it shows.
    QWidget* column(Side side) const;
    // The column's texts top to bottom, marks after the fact they belong to.
    QStringList texts(Side side) const;
    // The note that the two look identical; hidden when they do not.
    QLabel* identicalNote() const;
    // Whether every count and thumbnail look-up has ended and its result is shown.
    bool settled() const;

  private:
    struct Column;

    void build(Column& column, const QString& heading);
    void showFacts();
    void showColumn(Column& column, const ItemFacts& facts, Side side,
                    const ItemComparison& comparison);
    void showPicture(Column& column, const ItemFacts& facts);

    ConflictFacts facts_;
    std::unique_ptr<Column> existing_;
    std::unique_ptr<Column> incoming_;
    QLabel* identical_ = nullptr;
    QTimer* timer_ = nullptr;
    bool showsCounting_ = false;
};

}  // namespace ferrymark
