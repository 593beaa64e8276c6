// The counted strings of the stored text and graphic objects: a little-endian 32-bit length,
// then that many bytes, no terminator.
//
// Lengths come from files, so reading never trusts one: a negative length is refused, and the
// bytes are read in pieces, so a length that promises more than the file holds fails at the
// file's end having cost no more memory than the file itself.
#pragma once

#include "platform/framework/cfile.h"
#include "platform/framework/cstring.h"

namespace zk {

// False on a negative length or a short file; `s` is then empty. File errors are thrown as
// the file throws them, for the record reader to turn into its result.
bool read_counted_string(CFile& file, CString& s);

void write_counted_string(CFile& file, const CString& s);

} // namespace zk
