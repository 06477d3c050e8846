#pragma once
// The zr-cli commands. Each takes the whole argv and the index of its first own argument and
// returns the exit status.

namespace zr::cli {

int RunTransform(int argc, char** argv, int first);
int RunFolder(int argc, char** argv, int first);
int RunBatch(int argc, char** argv, int first);
int RunShred(int argc, char** argv, int first);
int RunDesktop(int argc, char** argv, int first);
int RunRecoverKey(int argc, char** argv, int first);

} // namespace zr::cli
