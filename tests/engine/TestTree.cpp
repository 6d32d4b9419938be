#include "TestTree.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <boost/filesystem.hpp>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace fs = boost::filesystem;

namespace ferrymark::test {

TestTree::TestTree() {
    std::string pattern = (fs::temp_directory_path() / "ferrymark-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) {
        throw std::runtime_error("mkdtemp failed");
    }
    root_ = pattern;
    // Tests that drop privileges must be able to reach the tree.
    ::chmod(root_.c_str(), 0755);
}

TestTree::~TestTree() {
    boost::system::error_code ec;
    // Folders a test made read-only must be opened up before they can be removed.
    for (fs::recursive_directory_iterator it(root_, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->symlink_status(ec).type() == fs::directory_file) {
            ::chmod(it->path().c_str(), 0755);
        }
    }
    fs::remove_all(root_, ec);
}

std::string TestTree::path(const std::string& relative) const {
    return relative.empty() ? root_ : root_ + "/" + relative;
}

std::string TestTree::write(const std::string& relative, const std::string& content,
                            unsigned mode) {
    const std::string p = path(relative);
    fs::create_directories(fs::path(p).parent_path());
    std::ofstream(p, std::ios::binary) << content;
    ::chmod(p.c_str(), mode);
    return p;
}

std::string TestTree::mkdir(const std::string& relative, unsigned mode) {
    const std::string p = path(relative);
    fs::create_directories(p);
    ::chmod(p.c_str(), mode);
    return p;
}

std::string TestTree::symlink(const std::string& relative, const std::string& pointsTo) {
    const std::string p = path(relative);
    fs::create_directories(fs::path(p).parent_path());
    if (::symlink(pointsTo.c_str(), p.c_str()) != 0) {
        throw std::runtime_error("symlink failed");
    }
    return p;
}

bool TestTree::exists(const std::string& relative) const {
    struct stat st {};
    return ::lstat(path(relative).c_str(), &st) == 0;
}

std::string TestTree::read(const std::string& relative) const {
    std::ifstream in(path(relative), std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

unsigned TestTree::mode(const std::string& relative) const {
    struct stat st {};
    ::lstat(path(relative).c_str(), &st);
    return st.st_mode & 07777;
}

std::vector<std::string> TestTree::listing(const std::string& relative) const {
    std::vector<std::string> names;
    const fs::path base(path(relative));
    for (fs::recursive_directory_iterator it(base), end; it != end; ++it) {
        std::string name = it->path().lexically_relative(base).string();
        if (it->symlink_status().type() == fs::directory_file) {
            name += "/";
        }
        names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string TestTree::randomBytes(std::size_t size, unsigned seed) {
    std::mt19937 gen(seed);
    std::string bytes(size, '\0');
    for (auto& c : bytes) {
        c = static_cast<char>(gen() & 0xFF);
    }
    return bytes;
}

}  // namespace ferrymark::test
