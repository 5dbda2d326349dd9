#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace tev {

// The program's command line, as the main window takes it: every parameter, whatever it looks
// like, is a file to offer to Deck A, in order. A parameter that starts with "-" is no exception;
// the deck says it cannot play it like any other name. Parameters are kept as bytes, since a file
// name need not be valid UTF-8.
class CTevCommandLineInfo {
  public:
    CTevCommandLineInfo() = default;
    // The parameters after the program's name.
    CTevCommandLineInfo(int argc, const char* const* argv);

    bool HasFiles() const { return hasFiles_; }
    // The parameter at the cursor, and the cursor moved on; `last` is true once the cursor has
    // reached the end. With no parameters: an empty name, and last.
    void NextFile(std::string& file, bool& last);

  private:
    std::vector<std::string> parameters_;
    std::size_t cursor_ = 0;
    bool hasFiles_ = false;
};

}  // namespace tev
