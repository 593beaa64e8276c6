// The chunks of an AVI or WAVE file, checked before FFmpeg reads them.
//
// Both containers are RIFF: chunks of a four-character name, a 32-bit length and a body,
// lists of chunks inside chunks. FFmpeg's readers take a header chunk's stated length at its
// word and allocate for it (a 280-byte file whose tag list claims 2 GB makes them ask for 2 GB),
// so every chunk is checked first: a header chunk must lie wholly inside the file and inside
// the list that holds it. The chunks that carry the media (a WAVE file's "data", an AVI file's
// "movi" list, its "idx1" index and the further RIFF chunks of a large AVI file) may run past
// the end: a file cut short keeps the frames and samples it has. FFmpeg reads chunks on past the
// length the RIFF header states, so the walk goes on to the end of the file too. Only chunk
// headers are read, a dozen bytes at a time, so a large file costs no more to check than a
// small one.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>

namespace zk {

// Reads out.size() bytes at `at`; false when the file does not have them all.
using ReadBytesAt = std::function<bool(std::uint64_t at, std::span<std::uint8_t> out)>;

// Whether a file of `file_size` bytes is a RIFF AVI or WAVE file whose header chunks all fit;
// when not, `why` says what is wrong ("not an AVI or WAVE file", "its 'LIST' chunk runs past
// the end of the file").
bool check_riff_layout(std::uint64_t file_size, const ReadBytesAt& read, std::string& why);

} // namespace zk
