// The rows of the two folder lists: which files a folder holds for one extension, with the
// size, date and picture-size texts the lists show.
//
// A folder is searched like the system's "*.tga" search: names whose last extension equals
// the given one ignoring case; sub-folders are not rows. Rows come in name order (ignoring
// case), so a listing does not depend on the order the file system keeps entries in. The
// picture size is learnt by loading each file in full, which is why listings of big folders
// are slow and why the caller gets each row as soon as it is ready (the window lets the
// user click between rows). One bad entry never hides the files after it.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "platform/framework/geometry.h"

namespace vm {

// The four extensions of the lists, in listing order.
inline constexpr const char* kListExtensions[4] = {"tga", "pct", "bmp", "jpg"};

struct ListRow {
    std::string name;       // file name as in the folder
    std::string path;       // folder + "/" + name
    std::string size_text;  // "1KB", "12 KB" ...
    std::string date_text;  // "2024/03/05      09:07"
    long width = 0;         // picture size, 0 × 0 when it could not be loaded or was not asked for
    long height = 0;
};

// "1KB" up to 1023 bytes (an empty file too), otherwise the size in KB rounded up and " KB".
std::string file_size_text(std::uint64_t bytes);
// Local time "%d/%02d/%02d      %02d:%02d" (six blanks between date and time).
std::string file_date_text(std::time_t mtime);
// "%d×%d".
std::string image_size_text(long width, long height);

// Whether name's extension (after its last dot) is ext, ignoring ASCII case.
bool has_extension(const std::string& name, const char* ext);

enum class ListResult {
    Done,            // every matching file was listed (an empty or missing folder lists nothing)
    SomeUnreadable,  // every other file was listed; some entries could not be opened
};

// A matching entry that could not be opened (a dangling link, a link loop, no permission,
// something that is not a file): its name and the system's reason.
struct UnreadableEntry {
    std::string name;
    std::string reason;
};

using SizeProbe = std::function<CSize(const std::string& path)>;
using RowSink = std::function<void(const ListRow& row)>;

// Lists folder for ext, giving each row to sink. probe, when set, fills the picture size.
// An entry that cannot be opened is skipped and the listing goes on; it is added to
// unreadable (when given) so that the caller can name it, once, in its own words.
ListResult list_folder(const std::string& folder, const char* ext, const SizeProbe& probe, const RowSink& sink,
                       std::vector<UnreadableEntry>* unreadable = nullptr);

} // namespace vm

namespace vm {

// "<folder>/<name>": the path of a listed file.
std::string join_path(const std::string& folder, const std::string& name);
// The output path for a listed name: the name without its last three characters (it keeps
// its dot) plus the format's extension, in folder; "a.jpg" to TGA becomes "<folder>/a.tga".
std::string destination_path(const std::string& folder, const std::string& name, int format);

} // namespace vm
