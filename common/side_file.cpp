#include "common/side_file.h"

#include <algorithm>
#include <mutex>
#include <system_error>

#include "common/language.h"
#include "common/text_format.h"

namespace fs = std::filesystem;

namespace {

struct Guards {
    std::mutex mutex;
    std::vector<const std::vector<fs::path>*> inputs;
    std::vector<std::string> refusals;
};

Guards& TheGuards() {
    static Guards g;
    return g;
}

}  // namespace

CSideFileGuard::CSideFileGuard(const std::vector<fs::path>& inputs) : inputs_(&inputs) {
    Guards& g = TheGuards();
    const std::lock_guard<std::mutex> lock(g.mutex);
    g.inputs.push_back(inputs_);
}

CSideFileGuard::~CSideFileGuard() {
    Guards& g = TheGuards();
    const std::lock_guard<std::mutex> lock(g.mutex);
    const auto it = std::find(g.inputs.rbegin(), g.inputs.rend(), inputs_);
    if (it != g.inputs.rend()) g.inputs.erase(std::next(it).base());
}

bool IsSameFile(const fs::path& a, const fs::path& b) {
    std::error_code ec;
    if (fs::exists(a, ec) && fs::exists(b, ec)) {
        const bool same = fs::equivalent(a, b, ec);
        if (!ec) return same;
    }
    const fs::path ca = fs::weakly_canonical(fs::absolute(a, ec), ec);
    const fs::path cb = fs::weakly_canonical(fs::absolute(b, ec), ec);
    return ca.lexically_normal() == cb.lexically_normal();
}

fs::path GuardedInputAt(const fs::path& sideFile) {
    Guards& g = TheGuards();
    const std::lock_guard<std::mutex> lock(g.mutex);
    for (const auto* list : g.inputs)
        for (const fs::path& input : *list)
            if (IsSameFile(input, sideFile)) return input;
    return {};
}

std::string SideFileRefusalMessage(const fs::path& sideFile) {
    return FormatC(Tr("The side file %s was not written: it is a file being read.",
                      "補助ファイル %s は書き出していません: 読み込んでいるファイルと同じです。"),
                   sideFile.string().c_str());
}

void NoteSideFileRefusal(const fs::path& sideFile) {
    Guards& g = TheGuards();
    const std::lock_guard<std::mutex> lock(g.mutex);
    g.refusals.push_back(SideFileRefusalMessage(sideFile));
}

std::vector<std::string> TakeSideFileRefusals() {
    Guards& g = TheGuards();
    const std::lock_guard<std::mutex> lock(g.mutex);
    std::vector<std::string> out;
    out.swap(g.refusals);
    return out;
}

bool OpenSideFile(CTextWriter& out, const fs::path& sideFile) {
    if (!GuardedInputAt(sideFile).empty()) {
        NoteSideFileRefusal(sideFile);
        return false;
    }
    return out.OpenReplacing(sideFile);
}
