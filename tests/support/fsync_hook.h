#pragma once
// Linked into a test program (or preloaded into zr-cli), this replaces the C library's fsync
// with one that first does what a test asks at that moment, then flushes as usual:
//  - ZR_TEST_RENAME_ON_FSYNC="from|to" in the environment: when a regular file is flushed,
//    rename from over to (once: from is gone afterwards). The shredder flushes after its
//    overwrite and before deleting, so this replaces the name while the work is "paused".
// It also counts the flushes of regular files, for tests of what is flushed and when.

namespace zr::test {

int RegularFileFlushes();

} // namespace zr::test
