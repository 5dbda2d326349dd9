#include "controls/CTevCommandLineInfo.h"

namespace tev {

CTevCommandLineInfo::CTevCommandLineInfo(int argc, const char* const* argv) {
    for (int i = 1; i < argc; ++i) {
        parameters_.emplace_back(argv[i]);
        hasFiles_ = true;
    }
}

void CTevCommandLineInfo::NextFile(std::string& file, bool& last) {
    if (cursor_ >= parameters_.size()) {
        file.clear();
        last = true;
        return;
    }
    file = parameters_[cursor_++];
    last = cursor_ >= parameters_.size();
}

}  // namespace tev
