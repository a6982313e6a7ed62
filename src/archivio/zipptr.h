// Ownership of libzip handles: one overloaded deleter for them all. Internal
// to the archive module; public headers never include libzip.
#pragma once

#include <memory>
#include <zip.h>

struct ZipDeleter {
    // Read-only archives are discarded: nothing is ever written back.
    void operator()(zip_t *p) const { zip_discard(p); }
    void operator()(zip_file_t *p) const { zip_fclose(p); }
    void operator()(zip_source_t *p) const { zip_source_free(p); }
};

template <typename T> using ZipPtr = std::unique_ptr<T, ZipDeleter>;
