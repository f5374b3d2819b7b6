// Deleting a claimed folder tree: files, then folders deepest first, moving the front end's
// progress once per entry.
#include "install/installer.h"
#include "remove/tree_claim.h"
#include "ui/interface.h"

namespace swiftsetup {

std::vector<RemovalFailure> Installer::removeTree(TreeClaim& claim, uint32_t first, uint32_t last, uint32_t total,
                                                 const std::function<std::string()>& moveAsideTo) {
    EvenProgress progress(first, last, claim.entryCount());
    auto step = [&] {
        const uint32_t position = progress.advance();
        if (frontEnd != nullptr) frontEnd->setProgress(position, total);
    };
    // Nothing to delete (the tree is gone already) still takes the bar to its end.
    if (claim.entryCount() == 0) {
        step();
        return {};
    }
    return claim.removeAll(step, moveAsideTo);
}

}  // namespace swiftsetup
