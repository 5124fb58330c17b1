// What a thumbnail view knows about its folder: the file entries and the per-view state, and
// the portable rules of listing a folder (which names, in which order, how many) and of
// handing the marked files to the shell. The directory search itself is the platform's: the
// listing runs over a FolderSearch that reports what the system's find functions match.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/win_types.h"

constexpr int kViewPathChars = 260;  // fixed path and name buffers, terminator included
constexpr int32_t kMaxViewEntries = 50000;
constexpr int32_t kFirstCellControlId = 10000;
constexpr uint32_t kEntryShown = 0x10000000;  // the value of WS_VISIBLE
constexpr int kMaxPluginPatterns = 100;

constexpr uint32_t kFileAttributeHidden = 0x2;
constexpr uint32_t kFileAttributeDirectory = 0x10;
constexpr uint32_t kDefaultExcludedAttributes = kFileAttributeHidden;  // settings slot 5

enum ViewBusy : int32_t {
    kViewIdle = 0,
    kViewBuilding = 1,      // listing or building thumbnails
    kViewWritingCache = 2,  // writing the thumbnail cache
};

enum EntryMark : int32_t {
    kEntryUnmarked = 0,
    kEntryMarked = 1,
    kEntryMovedAway = 2,  // only while marked entries are being removed
};

// The eleven words the browser loader publishes after a load and the thumbnail cache stores
// beside each thumbnail, in their order; they are copied as one block.
struct FileLoadInfo {
    FileTime last_write;
    int32_t width;
    int32_t height;
    int32_t file_size;
    int32_t format;  // FileTypeCode; 0 for a file read through a plug-in
    int32_t bit_depth;
    int32_t comment_count;  // W1
    int32_t text_count;     // W2
    int32_t interlaced;     // W3
    int32_t alpha;          // W4
};
constexpr int kFileLoadInfoWords = 11;
static_assert(sizeof(FileLoadInfo) == 4 * kFileLoadInfoWords, "the load-info block is eleven packed words");

// One listed file. Plain data, so that an array of them can live in zero-filled virtual memory
// and a record can be copied whole; the Windows view keeps its cell and caption windows beside
// it.
struct FileEntry {
    uint32_t shown;                     // kEntryShown while the cell is placed in the visible rows
    BitmapInfoHeader thumbnail_header;  // 40 bytes, 24 bits, uncompressed
    uint32_t thumbnail_header_pad;      // the 4 zero bytes after it
    uint8_t* thumbnail_bits;            // bottom-up rows owned by the entry; null when not loaded
    char16_t name[kViewPathChars];      // without the folder
    FileLoadInfo load_info;
    int32_t marked;  // EntryMark
    int32_t thumbnail_width;
    int32_t thumbnail_height;
    int32_t display_width;
    int32_t display_height;
    uint8_t from_cache;  // made while the folder's cache file was present
};

struct ViewState {
    FileEntry* entries;  // null while the view is empty
    int32_t count;
    int32_t marked_count;
    char16_t folder[kViewPathChars];  // empty when none
    int32_t busy;                     // ViewBusy
    int32_t anchor;                   // entry last clicked: the fixed end of a Shift range
    int32_t first_visible;
};

// The listing's name order: negative, zero or positive; the platform's order unless another is
// installed.
using NameOrder = int (*)(const char16_t* a, const char16_t* b);
int compare_names(const char16_t* a, const char16_t* b);
// The order of the system the program runs on: the locale's case-blind string order on Windows,
// ASCII letters folded elsewhere.
int platform_name_order(const char16_t* a, const char16_t* b);
// Replaces the order in use (null restores the platform's); returns the previous one.
NameOrder set_name_order(NameOrder order);

// Sorts by compare_names. Names that compare equal keep their listing order.
void sort_names(std::vector<std::u16string>* names);

// The first kMaxViewEntries names of a listing are shown; the rest are dropped.
int32_t capped_entry_count(int64_t listed);

// One match of a directory search, as the system's find functions report it.
struct FoundFile {
    std::u16string name;
    uint32_t attributes = 0;
    FileTime last_write = {};  // the file's ftLastWriteTime as the search reports it
};

class FolderSearch {
public:
    virtual ~FolderSearch() = default;
    // Every entry that `pattern` (a folder, a backslash and a wildcard name) matches, in the
    // order found, short-name matches included; false when the pattern cannot be searched.
    virtual bool find(const std::u16string& pattern, std::vector<FoundFile>* found) = 0;
};

// The path followed by a backslash unless it already ends in one; an empty path stays empty.
std::u16string with_backslash(const std::u16string& path);

// The number of matches of the folder, a backslash and "*.*" that are not directories; 0
// when the folder cannot be searched. It sizes the listing.
int32_t count_files_in_folder(FolderSearch& search, const std::u16string& folder);

// A match is listed when its name fits a name slot, it is not a directory, it shares no
// attribute bit with `excluded`, and its extension (dot included, as the shell's path helper
// finds it) is exactly `extension_length` characters long: so "x.jpeg" is no match for
// "*.jpe", and a name matched only through its short 8.3 form is never listed.
bool listed_by_search(const FoundFile& file, size_t extension_length, uint32_t excluded);

// Appends the listed matches of `pattern` to `names` while it holds fewer than `capacity`.
void find_files_with_extension(FolderSearch& search, const std::u16string& pattern, size_t extension_length,
                               uint32_t excluded, size_t capacity, std::vector<std::u16string>* names);

// One search of a listing: the wildcard name searched in the folder ("*.jpg") and the length
// of the extension a listed name must have.
struct ListingPattern {
    std::u16string pattern;
    size_t extension_length = 0;
};

// The searches of a listing in their order. Filter 1 BMP, 2 PNG, 3 JPEG, 4 TIFF, 5 GIF; any
// other value lists every built-in extension and then the plug-ins' patterns ("*.ext", in
// list order, up to the first empty one and at most kMaxPluginPatterns).
std::vector<ListingPattern> listing_patterns(int32_t type_filter,
                                             const std::vector<std::u16string>& plugin_patterns);

struct ListingOptions {
    int32_t type_filter = 0;
    uint32_t excluded_attributes = kDefaultExcludedAttributes;
    // The plug-in loader's patterns; the caller leaves this empty unless the plug-in folder
    // setting names an existing directory.
    std::vector<std::u16string> plugin_patterns;
};

// The image file names of `folder`, sorted, at most `capacity` of them (the caller counts
// the folder's files first; names found beyond that are lost). A file found by two patterns
// is listed twice. Returns the number of names.
int32_t list_folder_images(FolderSearch& search, const std::u16string& folder, const ListingOptions& options,
                           size_t capacity, std::vector<std::u16string>* names);

// Index of the first entry with marked word 1; -1 when none or the view has no entries.
int32_t first_selected_entry(const ViewState& view);

// The marked files' paths, each ended by a zero character, and one more zero after the last:
// the double-zero-terminated list of the shell's file operations. A single zero when nothing
// is marked.
std::u16string build_selected_path_list(const ViewState& view);

// The marked files' full paths, each in double quotes, one blank between them.
std::u16string build_quoted_selected_paths(const ViewState& view);

// A broken-down local time, as the system's file-time conversion gives it.
struct LocalFileTime {
    uint16_t year = 0;
    uint16_t month = 0;
    uint16_t day = 0;
    uint16_t hour = 0;
    uint16_t minute = 0;
    uint16_t second = 0;
};

// "2009/03/07 08:05:09": the year in full, the other five parts with two digits at least.
std::u16string format_file_time(const LocalFileTime& time);
