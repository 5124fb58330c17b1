#include "shell/core/thumbnail_build.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

const std::u16string kFolder = u"C:\\pics";

std::u16string name_of(int i) {
    std::string n = "img" + std::to_string(i / 10) + std::to_string(i % 10) + ".jpg";
    return std::u16string(n.begin(), n.end());
}

std::u16string decimal(int32_t value) {
    const std::string n = std::to_string(value);
    return std::u16string(n.begin(), n.end());
}

// The last-write time the listing reports for name_of(i).
FileTime listed_time(int i) {
    return FileTime{0x1000u + static_cast<uint32_t>(i), 0x01D9u};
}

int index_of(const std::u16string& name) {
    return (name[3] - u'0') * 10 + (name[4] - u'0');
}

std::vector<std::u16string> names_of(int count) {
    std::vector<std::u16string> names;
    for (int i = 0; i < count; ++i) names.push_back(name_of(i));
    return names;
}

std::vector<FileTime> times_of(int count) {
    std::vector<FileTime> times;
    for (int i = 0; i < count; ++i) times.push_back(listed_time(i));
    return times;
}

// The services a refresh uses, in memory. It records what was asked of it and fails the test
// at once when the lock is misused: taken twice, left while not held, or held while messages are
// served.
class FakeServices : public ThumbnailBuildServices {
public:
    // What the folder holds and how it behaves.
    std::vector<std::u16string> listing;    // names as name_of gives them
    std::set<std::u16string> unreadable;    // names whose decode fails
    std::set<std::u16string> cached;        // names the cache file holds with the listed time
    std::set<std::u16string> not_storable;  // names whose thumbnail cannot be kept
    BuildCacheRead cache_file;              // what reading the cache finds
    bool cache_on = true;
    bool write_ok = true;
    bool entries_available = true;
    // pump() answers this code once `pumps` reaches stop_at (0 never).
    int32_t stop_code = kBuildDone;
    int stop_at = 0;
    // The clock moves on by this much with every decode.
    uint32_t decode_ms = 0;
    uint32_t clock_ms = 0xFFFFFF00u;  // wraps during a build

    // What happened.
    bool locked = false;
    int locks = 0;
    int pumps = 0;
    int cache_calls = 0;
    int writes = 0;
    int cleared = 0;
    int closed = 0;
    int dropped = -1;
    std::vector<std::u16string> decoded;    // paths, in order
    std::vector<std::u16string> looked_up;  // names offered to the cache, in order
    // The cache write: the names added and whether each still held the cached thumbnail, and
    // the locks taken from the start of the cache file to its write.
    std::vector<std::u16string> added;
    std::vector<bool> added_from_cache;
    int write_locks = 0;
    int locks_at_start = -1;
    std::vector<bool> size_only_args;  // of every shrink
    std::vector<int32_t> errors;
    std::vector<int32_t> busy;
    std::map<int, std::u16string> status;      // last text of each part
    std::vector<std::u16string> counts_drawn;  // every text part 3 was given
    std::vector<FileEntry> storage;
    ViewState* view = nullptr;
    bool busy_when_closed = false;

    void lock() override {
        ASSERT_FALSE(locked) << "lock taken twice";
        locked = true;
        ++locks;
    }
    void unlock() override {
        ASSERT_TRUE(locked) << "lock left while not held";
        locked = false;
    }
    void list_folder(const std::u16string& folder, std::vector<std::u16string>* names,
                     std::vector<FileTime>* times) override {
        EXPECT_TRUE(locked);
        EXPECT_EQ(folder, kFolder);
        *names = listing;
        times->clear();
        for (const std::u16string& name : listing) times->push_back(listed_time(index_of(name)));
    }
    BuildCacheRead read_cache(const std::u16string&) override {
        EXPECT_TRUE(locked);
        ++cache_calls;
        return cache_file;
    }
    bool take_from_cache(const std::u16string& name, const FileTime& listed) override {
        EXPECT_TRUE(locked);
        ++cache_calls;
        looked_up.push_back(name);
        // The time is the one the listing gave for this very name.
        const FileTime want = listed_time(index_of(name));
        EXPECT_TRUE(listed.low == want.low && listed.high == want.high) << index_of(name);
        if (!cached.count(name)) return false;
        publish(name, true);
        return true;
    }
    void free_cache() override {
        EXPECT_TRUE(locked);
        ++cache_calls;
    }
    bool load(const std::u16string& path) override {
        EXPECT_TRUE(locked);
        decoded.push_back(path);
        clock_ms += decode_ms;
        const std::u16string name = path.substr(path.rfind(u'\\') + 1);
        if (unreadable.count(name)) return false;
        publish(name, false);
        return true;
    }
    bool shrink(bool size_only, int32_t size[2]) override {
        EXPECT_TRUE(locked);
        EXPECT_TRUE(published_);
        size_only_args.push_back(size_only);
        size[0] = 144;
        size[1] = 96;
        return true;
    }
    bool store(FileEntry* entry) override {
        EXPECT_TRUE(locked);
        if (!published_ || not_storable.count(published_name_)) return false;
        entry->thumbnail_width = published_from_cache_ ? 1 : 2;  // which source made it
        entry->load_info.file_size = static_cast<int32_t>(published_name_.size());
        published_ = false;
        return true;
    }
    void release_load() override { published_ = false; }
    void start_cache_file() override {
        EXPECT_TRUE(locked);
        EXPECT_EQ(locks_at_start, -1) << "one cache file per refresh";
        locks_at_start = locks;
    }
    void add_to_cache_file(const FileEntry& entry, bool from_cache) override {
        EXPECT_TRUE(locked);
        EXPECT_GE(locks_at_start, 0);
        added.emplace_back(entry.name);
        added_from_cache.push_back(from_cache);
        // A thumbnail said to come from the cache is the one the cache published.
        if (from_cache) {
            EXPECT_EQ(entry.thumbnail_width, 1) << index_of(entry.name);
        }
    }
    bool write_cache(const std::u16string& folder) override {
        EXPECT_TRUE(locked);
        EXPECT_EQ(folder, kFolder);
        ++writes;
        write_locks = locks - locks_at_start + 1;
        return write_ok;
    }
    bool use_cache() override { return cache_on; }
    void refresh_starting() override { EXPECT_FALSE(locked); }
    void set_busy(int32_t value) override {
        EXPECT_FALSE(locked);
        busy.push_back(value);
        view->busy = value;
    }
    void set_status(int part, const std::u16string& text, bool) override {
        status[part] = text;
        if (part == 3) counts_drawn.push_back(text);
    }
    void update_status_text() override {
        status[2] = decimal(view->marked_count) + u"/" + decimal(view->count);
    }
    FileEntry* allocate_entries(int32_t count) override {
        if (!entries_available) return nullptr;
        storage.assign(static_cast<size_t>(count), FileEntry{});
        return storage.data();
    }
    void create_cells() override { EXPECT_FALSE(locked); }
    void repaint_entry(int32_t index) override {
        EXPECT_FALSE(locked);
        EXPECT_LT(index, view->count);
    }
    void drop_failed_cells(int32_t failed) override {
        dropped = failed;
        view->count -= failed;
    }
    void clear_view() override {
        ++cleared;
        view->count = 0;
        view->entries = nullptr;
    }
    void close_view() override {
        ++closed;
        busy_when_closed = view->busy != kViewIdle;
    }
    void post_error(int32_t code) override {
        EXPECT_FALSE(locked);
        errors.push_back(code);
    }
    uint32_t now_ms() override { return clock_ms; }
    int32_t pump() override {
        EXPECT_FALSE(locked) << "messages served under the lock";
        ++pumps;
        return stop_at != 0 && pumps == stop_at ? stop_code : kBuildDone;
    }

    std::vector<std::u16string> entry_names() const {
        std::vector<std::u16string> out;
        for (int32_t i = 0; i < view->count; ++i) out.emplace_back(view->entries[i].name);
        return out;
    }

private:
    void publish(const std::u16string& name, bool from_cache) {
        EXPECT_FALSE(published_) << "a published image was neither stored nor released";
        published_ = true;
        published_name_ = name;
        published_from_cache_ = from_cache;
    }
    bool published_ = false;
    bool published_from_cache_ = false;
    std::u16string published_name_;
};

class ThumbnailRefresh : public ::testing::Test {
protected:
    void SetUp() override { services.view = &view; }
    int32_t refresh() { return refresh_view(services, view, kFolder); }

    FakeServices services;
    ViewState view = {};
};

}  // namespace

TEST_F(ThumbnailRefresh, UnreadableFilesLeaveNoEntryAndTheRestStayInOrder) {
    services.listing = names_of(10);
    services.unreadable = {name_of(0), name_of(4), name_of(9)};
    EXPECT_EQ(refresh(), kBuildDone);
    const std::vector<std::u16string> want = {name_of(1), name_of(2), name_of(3), name_of(5),
                                              name_of(6), name_of(7), name_of(8)};
    EXPECT_EQ(services.entry_names(), want);
    EXPECT_EQ(services.dropped, 3);
    EXPECT_EQ(services.status[2], u"0/7");
    EXPECT_EQ(services.status[3], kFolder);
    EXPECT_EQ(services.busy, (std::vector<int32_t>{kViewBuilding, kViewWritingCache, kViewIdle}));
    EXPECT_EQ(services.writes, 1);
    EXPECT_TRUE(services.errors.empty());
    EXPECT_EQ(services.pumps, 10);
    EXPECT_EQ(services.decoded.front(), u"C:\\pics\\" + name_of(0));
}

TEST_F(ThumbnailRefresh, AnInterruptionStopsAtTheCurrentFile) {
    struct Case {
        int32_t code;
        int stop_at;
    };
    for (const Case c : {Case{kBuildCleared, 1}, Case{kBuildCleared, 4}, Case{kBuildClosed, 6}}) {
        FakeServices s;
        ViewState v = {};
        s.view = &v;
        s.listing = names_of(10);
        s.stop_code = c.code;
        s.stop_at = c.stop_at;
        int32_t failed = -1;
        bool save = false;
        FileEntry entries[10] = {};
        v.entries = entries;
        v.count = 10;
        EXPECT_EQ(build_thumbnails(s, v, kFolder, s.listing, times_of(10), &failed, &save), c.code);
        EXPECT_EQ(s.decoded.size(), static_cast<size_t>(c.stop_at));
        EXPECT_EQ(failed, 10 - c.stop_at) << "entries kept: " << c.stop_at;
        EXPECT_EQ(std::u16string(entries[c.stop_at - 1].name), name_of(c.stop_at - 1));
        EXPECT_EQ(entries[c.stop_at].name[0], 0);

        // The whole refresh empties the view and writes nothing; a close request also closes it,
        // after the view went idle.
        FakeServices r;
        ViewState rv = {};
        r.view = &rv;
        r.listing = names_of(10);
        r.stop_code = c.code;
        r.stop_at = c.stop_at;
        EXPECT_EQ(refresh_view(r, rv, kFolder), c.code);
        EXPECT_EQ(r.cleared, 1);
        EXPECT_EQ(r.closed, c.code == kBuildClosed ? 1 : 0);
        EXPECT_FALSE(r.busy_when_closed);
        EXPECT_EQ(r.writes, 0);
        EXPECT_EQ(r.dropped, -1);
        EXPECT_EQ(rv.count, 0);
        EXPECT_EQ(r.busy.back(), kViewIdle);
    }
}

TEST_F(ThumbnailRefresh, CacheBoxDecidesSecondPassAndRewrite) {
    struct Case {
        const char* what;
        BuildCacheRead file;
        std::set<int> cached;
        size_t decodes;  // both passes
        bool rewritten;
        // Of each entry written: whether it still holds the thumbnail taken from the cache.
        std::vector<bool> from_cache;
    };
    const Case cases[] = {
        {"no cache file: everything decoded once", {false, false, false}, {}, 4, true, {0, 0, 0, 0}},
        {"same box, unchanged files: nothing decoded", {true, false, false}, {0, 1, 2, 3}, 0, false, {}},
        {"same box, one changed file", {true, false, false}, {0, 1, 3}, 1, true, {1, 1, 0, 1}},
        {"box made smaller since: shown from the cache and rewritten",
         {true, true, false},
         {0, 1, 2, 3},
         0,
         true,
         {1, 1, 1, 1}},
        // Cached thumbnails are stretched first, then decoded again; the changed file was decoded
        // at full fit in the first pass and is not decoded a second time.
        {"box made larger since: second pass", {true, false, true}, {0, 1, 2}, 1 + 3, true, {0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeServices s;
        ViewState v = {};
        s.view = &v;
        s.listing = names_of(4);
        s.cache_file = c.file;
        for (int i : c.cached) s.cached.insert(name_of(i));
        EXPECT_EQ(refresh_view(s, v, kFolder), kBuildDone);
        EXPECT_EQ(s.decoded.size(), c.decodes);
        EXPECT_EQ(s.writes, c.rewritten ? 1 : 0);
        EXPECT_EQ(s.added_from_cache, c.from_cache);
        ASSERT_EQ(v.count, 4);
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(v.entries[i].from_cache, c.file.read ? 1 : 0);
            // After the second pass every thumbnail is a decoded one.
            if (c.file.box_smaller) {
                EXPECT_EQ(v.entries[i].thumbnail_width, 2) << i;
            }
        }
    }
}

TEST_F(ThumbnailRefresh, CacheFileIsWrittenEntryByEntryWithTheLockLetGoBetween) {
    services.listing = names_of(10);
    services.unreadable = {name_of(0), name_of(4), name_of(9)};
    services.cache_file = {true, false, false};
    services.cached = {name_of(2), name_of(4), name_of(5)};
    EXPECT_EQ(refresh(), kBuildDone);
    // The loaded entries, in index order: name 4, whose file no longer decodes, comes from the
    // cache all the same.
    EXPECT_EQ(services.added, services.entry_names());
    EXPECT_EQ(services.added.size(), 8u);
    EXPECT_EQ(services.added_from_cache, (std::vector<bool>{0, 1, 0, 1, 1, 0, 0, 0}));
    // One lock for starting the file, one per entry, one for the write.
    EXPECT_EQ(services.write_locks, 2 + 8);
    EXPECT_EQ(services.looked_up, services.listing);
}

TEST_F(ThumbnailRefresh, NamesWithoutAListedTimeAreDecoded) {
    services.listing = names_of(4);
    services.cache_file = {true, false, false};
    services.cached = {name_of(0), name_of(1), name_of(2), name_of(3)};
    FileEntry entries[4] = {};
    view.entries = entries;
    view.count = 4;
    int32_t failed = -1;
    bool save = false;
    std::vector<FileTime> times = times_of(2);
    EXPECT_EQ(build_thumbnails(services, view, kFolder, services.listing, times, &failed, &save), kBuildDone);
    EXPECT_EQ(services.looked_up, (std::vector<std::u16string>{name_of(0), name_of(1)}));
    EXPECT_EQ(services.decoded,
              (std::vector<std::u16string>{u"C:\\pics\\" + name_of(2), u"C:\\pics\\" + name_of(3)}));
    EXPECT_TRUE(save);
    EXPECT_EQ(failed, 0);
}

TEST_F(ThumbnailRefresh, SecondPassFitsCachedThumbnailsBySizeFirst) {
    services.listing = names_of(3);
    services.cache_file = {true, false, true};
    services.cached = {name_of(0), name_of(2)};
    EXPECT_EQ(refresh(), kBuildDone);
    // First pass: cached, decoded, cached; then the two cached ones again at full fit.
    EXPECT_EQ(services.size_only_args, (std::vector<bool>{true, false, true, false, false}));
    EXPECT_EQ(services.decoded,
              (std::vector<std::u16string>{u"C:\\pics\\" + name_of(1), u"C:\\pics\\" + name_of(0),
                                           u"C:\\pics\\" + name_of(2)}));
}

TEST_F(ThumbnailRefresh, UseCacheOffMakesNoCacheCall) {
    services.listing = names_of(5);
    services.cached = {name_of(0)};
    services.cache_file = {true, true, true};
    services.cache_on = false;
    EXPECT_EQ(refresh(), kBuildDone);
    EXPECT_EQ(services.cache_calls, 0);
    EXPECT_EQ(services.writes, 0);
    EXPECT_EQ(services.decoded.size(), 5u);
    EXPECT_EQ(view.entries[0].from_cache, 0);
}

TEST_F(ThumbnailRefresh, FailuresAreReportedWithTheirCodes) {
    struct Case {
        const char* what;
        bool write_ok;
        bool entries_available;
        std::set<std::u16string> not_storable;
        std::vector<int32_t> errors;
        int32_t count;
    };
    const Case cases[] = {
        {"cache write fails: the view stays complete", false, true, {}, {kBuildErrorCacheWrite}, 4},
        {"no memory for the entries: the view stays empty", true, false, {}, {kBuildErrorMemory}, 0},
        // A thumbnail that was read but cannot be kept is told, once per build, not passed off
        // as an unreadable file.
        {"thumbnails that cannot be kept", true, true, {name_of(1), name_of(2)}, {kBuildErrorMemory}, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeServices s;
        ViewState v = {};
        s.view = &v;
        s.listing = names_of(4);
        s.write_ok = c.write_ok;
        s.entries_available = c.entries_available;
        s.not_storable = c.not_storable;
        EXPECT_EQ(refresh_view(s, v, kFolder), kBuildDone);
        EXPECT_EQ(s.errors, c.errors);
        EXPECT_EQ(v.count, c.count);
        EXPECT_EQ(s.busy.back(), kViewIdle);
    }
}

TEST_F(ThumbnailRefresh, NoFolderOrNoNamesLeavesTheViewAlone) {
    EXPECT_EQ(refresh_view(services, view, u""), kBuildDone);
    EXPECT_EQ(refresh(), kBuildDone);
    EXPECT_TRUE(services.busy.empty());
    EXPECT_EQ(view.entries, nullptr);
    EXPECT_EQ(services.pumps, 0);
}

TEST_F(ThumbnailRefresh, ListingIsCappedAtTheEntryLimit) {
    services.listing.resize(kMaxViewEntries + 7, u"x.bmp");
    services.cache_on = false;
    EXPECT_EQ(refresh(), kBuildDone);
    EXPECT_EQ(services.storage.size(), static_cast<size_t>(kMaxViewEntries));
    EXPECT_EQ(view.count, kMaxViewEntries);
    EXPECT_EQ(services.status[3], kFolder);
    EXPECT_EQ(services.pumps, kMaxViewEntries);
}

TEST(ThumbnailBuildPaths, JoinedPathsThatDoNotFitAreRefused) {
    struct Case {
        std::u16string folder;
        std::u16string name;
        bool fits;
        std::u16string path;
    };
    const std::u16string long_name(kViewPathChars - 1 - 8, u'n');  // "C:\\pics\\" is 8 characters
    const Case cases[] = {
        {u"C:\\pics", u"a.jpg", true, u"C:\\pics\\a.jpg"},
        {u"C:\\pics\\", u"a.jpg", true, u"C:\\pics\\a.jpg"},
        {u"C:\\pics", long_name, true, u"C:\\pics\\" + long_name},
        {u"C:\\pics", long_name + u"x", false, u"unchanged"},
    };
    for (const Case& c : cases) {
        std::u16string path = u"unchanged";
        EXPECT_EQ(join_entry_path(c.folder, c.name.c_str(), &path), c.fits) << c.name.size();
        EXPECT_EQ(path, c.path);
    }
}

TEST(ThumbnailBuildPaths, AFileWhosePathDoesNotFitIsLeftOut) {
    FakeServices s;
    ViewState v = {};
    s.view = &v;
    s.cache_on = false;
    s.listing = {u"a.jpg", std::u16string(kViewPathChars, u'n'), u"c.jpg"};
    EXPECT_EQ(refresh_view(s, v, kFolder), kBuildDone);
    EXPECT_EQ(s.entry_names(), (std::vector<std::u16string>{u"a.jpg", u"c.jpg"}));
    EXPECT_EQ(s.decoded.size(), 2u);
}

TEST_F(ThumbnailRefresh, FilesDoneAreCountedAtAReadablePaceAndAlwaysAtTheLast) {
    struct Case {
        const char* what;
        uint32_t decode_ms;
        std::vector<std::u16string> counts;
    } cases[] = {
        // 30 ms a file: the first count, then one per 100 ms, then the last.
        {"fast files", 30, {u"1", u"5", u"9", u"10"}},
        {"slow files", 150, {u"1", u"2", u"3", u"4", u"5", u"6", u"7", u"8", u"9", u"10"}},
        {"instant files", 0, {u"1", u"10"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeServices s;
        ViewState v = {};
        s.view = &v;
        s.listing = names_of(10);
        s.cache_on = false;
        s.decode_ms = c.decode_ms;
        EXPECT_EQ(refresh_view(s, v, kFolder), kBuildDone);
        // The folder's path first and last, around the counts.
        ASSERT_GE(s.counts_drawn.size(), 2u);
        EXPECT_EQ(s.counts_drawn.front(), kFolder);
        EXPECT_EQ(s.counts_drawn.back(), kFolder);
        EXPECT_EQ(std::vector<std::u16string>(s.counts_drawn.begin() + 1, s.counts_drawn.end() - 1),
                  c.counts);
    }
}

TEST_F(ThumbnailRefresh, SecondPassCountsItsOwnFilesToTheLast) {
    services.listing = names_of(6);
    services.cached = {name_of(0), name_of(1), name_of(2), name_of(3), name_of(4), name_of(5)};
    services.cache_file = BuildCacheRead{true, false, true};
    services.decode_ms = 10;
    EXPECT_EQ(refresh(), kBuildDone);
    // First pass: no decode moves the clock, so only its first and last counts; the second pass
    // decodes all six at 10 ms each, so again its first and last.
    const std::vector<std::u16string> want = {kFolder, u"1", u"6", u"1", u"6", kFolder};
    EXPECT_EQ(services.counts_drawn, want);
}
