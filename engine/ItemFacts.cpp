#include "engine/ItemFacts.h"

#include <sys/stat.h>

namespace ferrymark {

ItemFacts ItemFacts::of(const std::string& path) {
    ItemFacts facts;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        if (::lstat(path.c_str(), &st) == 0) {
            facts.kind = Kind::Other;
            facts.modified = st.st_mtim.tv_sec;
        }
        return facts;
    }
    facts.modified = st.st_mtim.tv_sec;
    if (S_ISREG(st.st_mode)) {
        facts.kind = Kind::File;
        facts.size = st.st_size;
    } else if (S_ISDIR(st.st_mode)) {
        facts.kind = Kind::Folder;
        facts.count = Count::Counting;
    } else {
        facts.kind = Kind::Other;
    }
    return facts;
}

}  // namespace ferrymark
