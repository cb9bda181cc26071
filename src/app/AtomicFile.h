#pragma once

#include <cstddef>
#include <string>

namespace qbr {

// Replaces a file's contents as one step: the data goes to a temporary file in the
// same directory, is flushed to disk and then renamed over the target. On any
// failure the temporary file is removed and the old file stays as it was.
class AtomicFile {
public:
    static bool Replace(const std::string& path, const void* data, size_t size);
    static bool Replace(const std::string& path, const std::string& data) {
        return Replace(path, data.data(), data.size());
    }
};

}  // namespace qbr
