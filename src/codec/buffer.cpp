// Large output buffers.
#include "codec/buffer.h"

#ifdef Q_OS_LINUX
#include <sys/mman.h>
#endif

QByteArray uninitializedBuffer(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
#ifdef Q_OS_LINUX
    constexpr quintptr kHuge = 2 * 1024 * 1024;
    if (size >= 2 * qsizetype(kHuge)) {
        const auto data = quintptr(bytes.data());
        const quintptr begin = (data + kHuge - 1) & ~(kHuge - 1);
        const quintptr end = (data + quintptr(size)) & ~(kHuge - 1);
        if (end > begin)
            madvise(reinterpret_cast<void *>(begin), end - begin, MADV_HUGEPAGE);
    }
#endif
    return bytes;
}
