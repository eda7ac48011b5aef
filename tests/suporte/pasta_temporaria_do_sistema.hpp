#pragma once

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

namespace cds::teste {

// The system's temporary folder (TMPDIR) pointed at `pasta` while the object lives, then put
// back as it was.
class TmpdirEm {
  public:
    explicit TmpdirEm(const std::filesystem::path& pasta) {
        if (const char* v = std::getenv("TMPDIR")) anterior = v;
        ::setenv("TMPDIR", pasta.c_str(), 1);
    }
    ~TmpdirEm() {
        if (anterior)
            ::setenv("TMPDIR", anterior->c_str(), 1);
        else
            ::unsetenv("TMPDIR");
    }
    TmpdirEm(const TmpdirEm&) = delete;
    TmpdirEm& operator=(const TmpdirEm&) = delete;

  private:
    std::optional<std::string> anterior;
};

}  // namespace cds::teste
