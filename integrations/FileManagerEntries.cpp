#include "integrations/FileManagerEntries.h"

#include "integrations/CajaEntries.h"
#include "integrations/DolphinEntries.h"
#include "integrations/NautilusEntries.h"
#include "integrations/NemoEntries.h"
#include "integrations/PcmanfmQtEntries.h"
#include "integrations/ThunarEntries.h"

namespace ferrymark {

std::vector<std::unique_ptr<IFileManagerEntries>> FileManagerEntries::all() {
    std::vector<std::unique_ptr<IFileManagerEntries>> out;
    out.push_back(std::make_unique<NautilusEntries>());
    out.push_back(std::make_unique<ThunarEntries>());
    out.push_back(std::make_unique<NemoEntries>());
    out.push_back(std::make_unique<CajaEntries>());
    out.push_back(std::make_unique<DolphinEntries>());
    out.push_back(std::make_unique<PcmanfmQtEntries>());
    return out;
}

}  // namespace ferrymark
