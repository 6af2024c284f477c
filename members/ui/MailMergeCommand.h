#pragma once

namespace twl {

struct Services;

// Organization / Print Member Reports / Mail Merge File: asks where to save the member
// mail-merge file and writes the register to it. A file that cannot be read or written is
// reported and leaves nothing behind; the current folder is the same afterwards.
void createMailMergeFile(Services& services);

} // namespace twl
