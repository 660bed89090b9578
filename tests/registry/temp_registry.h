// Points the process's registry at a fresh temporary file for one test.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace qvtest {

class TempRegistry {
  public:
    TempRegistry() {
        static int serial = 0;
        path_ =
            std::filesystem::temp_directory_path() /
            ("qv-registry-" + std::to_string(getpid()) + "-" + std::to_string(++serial) + ".db");
        std::filesystem::remove(path_);
        setenv("QUORVEL_REGISTRY", path_.c_str(), 1);
    }
    ~TempRegistry() {
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ignored_);
        std::filesystem::remove(path_, ignored_);
        unsetenv("QUORVEL_REGISTRY");
    }
    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
    std::error_code ignored_;
};

}  // namespace qvtest
