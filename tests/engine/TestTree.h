#pragma once

#include <string>
#include <vector>

namespace ferrymark::test {

// A scratch folder that goes away with the test.
class TestTree {
  public:
    TestTree();
    ~TestTree();
    TestTree(const TestTree&) = delete;
    TestTree& operator=(const TestTree&) = delete;

    const std::string& root() const { return root_; }
    std::string path(const std::string& relative) const;
    // Writes a file, creating the folders above it.
    std::string write(const std::string& relative, const std::string& content,
                      unsigned mode = 0644);
    std::string mkdir(const std::string& relative, unsigned mode = 0755);
    std::string symlink(const std::string& relative, const std::string& pointsTo);
    bool exists(const std::string& relative) const;  // a dangling link counts
    std::string read(const std::string& relative) const;
    unsigned mode(const std::string& relative) const;
    // Names below a folder, sorted, with "/" after folders, recursively: "a", "d/", "d/b".
    std::vector<std::string> listing(const std::string& relative) const;

    static std::string randomBytes(std::size_t size, unsigned seed);

  private:
    std::string root_;
};

}  // namespace ferrymark::test
