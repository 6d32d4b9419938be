#pragma once

#include <map>
#include <string>
#include <vector>

namespace ferrymark::test {

// Trees read, made and removed through folder descriptors (openat and friends), so paths
// longer than PATH_MAX are no obstacle.
class FdTree {
  public:
    struct Entry {
        enum class Kind { File, Folder, Link, Other };
        Kind kind = Kind::Other;
        std::string content;  // a file's bytes, a link's target
        bool operator==(const Entry&) const = default;
    };
    // Every item below a folder by its relative path ("a", "a/b"); names are raw bytes.
    using Snapshot = std::map<std::string, Entry>;

    // Without contents, files come with an empty content.
    static Snapshot snapshot(const std::string& folder, bool contents = true);
    static Snapshot snapshotAt(int folderFd, bool contents = true);

    // Makes a folder in folderFd and returns a descriptor of it (the caller closes it).
    static int makeFolderAt(int folderFd, const std::string& name);
    static void writeAt(int folderFd, const std::string& name, const std::string& content);
    // Removes a folder and everything below it, however deep.
    static void removeAll(const std::string& folder);

    // A fresh scratch folder under TMPDIR.
    static std::string makeScratch();

    // The items of a snapshot below prefix ("a" gives "a/x" as "x"), the prefix excluded.
    static Snapshot below(const Snapshot& snapshot, const std::string& prefix);
    // Differences as readable lines, empty when equal; names shown with C escapes.
    static std::vector<std::string> differences(const Snapshot& want, const Snapshot& got);
    static std::string escaped(const std::string& bytes);
};

}  // namespace ferrymark::test
