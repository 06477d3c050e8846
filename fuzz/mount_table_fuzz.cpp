// The mount table read for the drive list: "/" first, then absolute mount points, each once.

#include "fuzz_check.h"
#include "mount_table.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QStringList roots = zr::platform::RealMountPoints(
        QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    ZR_FUZZ_CHECK(!roots.isEmpty() && roots.front() == QStringLiteral("/"));
    for (qsizetype i = 0; i < roots.size(); ++i) {
        ZR_FUZZ_CHECK(roots[i].startsWith(QLatin1Char('/')));
        ZR_FUZZ_CHECK(roots.indexOf(roots[i]) == i);
    }
    return 0;
}
