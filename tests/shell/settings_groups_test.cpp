#include "shell/core/settings_groups.h"

#include <gtest/gtest.h>

#include <set>

#include "tests/shell/settings_file_builder.h"
#include "tests/shell/unique_scratch.h"
#include "tests/support/test_support.h"

namespace {

// Busy for a number of reads, then the real files.
struct BusyOps : SettingsFileOps {
    int busy_reads = 0;
    SettingsFileStatus read_file(const std::u16string& path, std::vector<uint8_t>* bytes,
                                 uint32_t limit) override {
        if (busy_reads > 0) {
            --busy_reads;
            bytes->clear();
            return SettingsFileStatus::busy;
        }
        return portable_settings_file_ops().read_file(path, bytes, limit);
    }
    bool write_new_file(const std::u16string& path, const uint8_t* data, size_t size) override {
        return portable_settings_file_ops().write_new_file(path, data, size);
    }
    bool replace_file(const std::u16string& source, const std::u16string& target) override {
        return portable_settings_file_ops().replace_file(source, target);
    }
    void delete_file(const std::u16string& path) override { portable_settings_file_ops().delete_file(path); }
    void pause_ms(uint32_t) override {}
};

class SettingsGroupsTest : public ::testing::Test {
protected:
    void SetUp() override { previous_ = set_settings_file_ops(&ops_); }
    void TearDown() override { set_settings_file_ops(previous_); }

    MainSettingsEnvironment environment() const {
        MainSettingsEnvironment env;
        env.work_area = ScreenRect{0, 0, 1024, 768};
        env.largest_square = 700;
        env.pictures_folder = u"C:\\Pictures";
        return env;
    }

    BusyOps ops_;
    SettingsFileOps* previous_ = nullptr;
};

TEST(SettingsGroupReadTest, OnlyAFileThatExistsButCouldNotBeReadCountsAsUnread) {
    const struct {
        SettingsFileStatus status;
        bool read;
    } cases[] = {{SettingsFileStatus::ok, true},
                 {SettingsFileStatus::missing, true},
                 {SettingsFileStatus::busy, false},
                 {SettingsFileStatus::failed, false}};
    for (const auto& c : cases) {
        SettingsReader r;
        r.status = c.status;
        EXPECT_EQ(settings_group_was_read(r), c.read) << static_cast<int>(c.status);
    }
    // A foreign file was read: it holds nothing of ours, so writing over it loses nothing.
    const uint8_t foreign[] = {'M', 'Z', 0, 0, 1, 2, 3};
    EXPECT_TRUE(settings_group_was_read(settings_parse(foreign, sizeof foreign)));
    EXPECT_FALSE(settings_exit_pass_needed(SettingsGroupsRead{}));
}

// The start-up read of the main group finds the file busy; by exit it is free again. The exit
// pass must not write the defaults over the stored folders, tools and key table.
TEST_F(SettingsGroupsTest, MainGroupBusyAtStartIsNotWrittenAtExit) {
    std::vector<uint8_t> keys(12);
    const KeyEntry stored_keys[] = {{0x09, 'Q', 7150}, {0x01, 'W', 7021}};
    encode_key_entries(stored_keys, 2, keys.data());
    SettingsFileBuilder b;
    b.integer(11, 250).text(140, u"C:\\tool.exe").text(196, u"C:\\photos").data(137, keys).integer(66, 9);
    const std::u16string path = unique_scratch_path("busy-main.ini");
    ASSERT_TRUE(write_bytes(path, b.bytes()));

    ops_.busy_reads = 1000;
    SettingsReader start = settings_open_read(path);
    MainSettings main;
    load_main_settings(start, environment(), &main);
    KeyTable main_keys;
    load_main_key_table(start, &main_keys);
    SettingsGroupsRead read;
    read.main = settings_group_was_read(start);
    settings_close_read(start);
    EXPECT_FALSE(read.main);
    EXPECT_EQ(main.thumb_width, 144);  // ran on defaults

    ops_.busy_reads = 0;
    SettingsReader later = settings_open_read(path);
    SingleViewSettings view;
    load_single_view_settings(later, WindowPlace{0, 0, 800, 600}, &view);
    KeyTable view_keys;
    load_view_key_table(later, &view_keys);
    read.single_view = settings_group_was_read(later);
    settings_close_read(later);
    view.slide_interval = 12;

    ASSERT_TRUE(settings_exit_pass_needed(read));
    SettingsWriter w = settings_open_write(path);
    ASSERT_TRUE(w.ok);
    SettingsAtExit at_exit;
    at_exit.read = read;
    at_exit.main = &main;
    at_exit.main_keys = main_keys.entries;
    at_exit.single_view = &view;
    at_exit.view_keys = view_keys.entries;
    write_settings_at_exit(w, at_exit);
    ASSERT_TRUE(settings_close_write(w));

    std::vector<uint8_t> after;
    ASSERT_TRUE(read_bytes(path, &after));
    SettingsReader r = settings_parse(after.data(), after.size());
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(settings_int(r, 11, 0), 250);
    EXPECT_EQ(settings_string(r, 140), u"C:\\tool.exe");
    EXPECT_EQ(settings_string(r, 196), u"C:\\photos");
    EXPECT_EQ(settings_entry(r, 137).size, 12);
    EXPECT_EQ(settings_entry(r, 0).offset, 0);  // no main integer written
    EXPECT_EQ(settings_int(r, 66, 0), 12);      // the group that was read is written
    EXPECT_EQ(settings_entry(r, 138).size, kViewKeyCount * kKeyEntryBytes);
}

TEST_F(SettingsGroupsTest, GroupsReadAreWrittenWithTheirKeyTables) {
    const std::u16string path = unique_scratch_path("fresh.ini");
    SettingsReader start = settings_open_read(path);
    MainSettings main;
    load_main_settings(start, environment(), &main);
    KeyTable main_keys;
    load_main_key_table(start, &main_keys);
    ConversionSettings conversion;
    load_conversion_settings(start, &conversion);
    SettingsAtExit at_exit;
    at_exit.read.main = settings_group_was_read(start);
    at_exit.read.conversion = settings_group_was_read(start);
    at_exit.main = &main;
    at_exit.main_keys = main_keys.entries;
    at_exit.conversion = &conversion;
    SettingsWriter w = settings_open_write(path);
    write_settings_at_exit(w, at_exit);
    ASSERT_TRUE(settings_close_write(w));
    std::vector<uint8_t> after;
    ASSERT_TRUE(read_bytes(path, &after));
    SettingsReader r = settings_parse(after.data(), after.size());
    EXPECT_EQ(settings_entry(r, 137).size, kMainKeyCount * kKeyEntryBytes);
    EXPECT_EQ(settings_string(r, 196), u"C:\\Pictures");
    EXPECT_EQ(settings_int(r, 96, 0), 75);
    EXPECT_EQ(settings_entry(r, 138).offset, 0);  // single view never read
    EXPECT_EQ(settings_entry(r, 66).offset, 0);
}

TEST(SettingsLocationTest, AFolderThatCannotBeMadeStillGivesThePath) {
    std::set<std::u16string> existing = {u"C:\\Users\\a\\AppData\\Pexaron"};
    std::vector<std::u16string> made;
    bool can_make = true;
    SettingsFolderOps ops;
    ops.folder_exists = [&](const std::u16string& f) { return existing.count(f) != 0; };
    ops.make_folder = [&](const std::u16string& f) {
        made.push_back(f);
        return can_make;
    };
    EXPECT_EQ(locate_settings_file(u"C:\\Users\\a\\AppData", ops),
              u"C:\\Users\\a\\AppData\\Pexaron\\Pexaron.ini");
    EXPECT_TRUE(made.empty());

    can_make = false;  // a read-only profile
    EXPECT_EQ(locate_settings_file(u"D:\\ro\\", ops), u"D:\\ro\\Pexaron\\Pexaron.ini");
    ASSERT_EQ(made.size(), 1u);
    EXPECT_EQ(made[0], u"D:\\ro\\Pexaron");

    EXPECT_EQ(locate_settings_file(u"", ops), u"");
    // 259 characters fit the path buffer; 260 do not.
    const std::u16string tail = u"\\Pexaron\\Pexaron.ini";
    EXPECT_EQ(locate_settings_file(std::u16string(259 - tail.size(), u'x'), ops).size(), 259u);
    EXPECT_EQ(locate_settings_file(std::u16string(260 - tail.size(), u'x'), ops), u"");
}

// A profile where the folder could not be made: the start runs on defaults, and the exit pass
// fails (so the caller reports it) instead of refusing the start.
TEST(SettingsLocationTest, ReadOnlyProfileStartsOnDefaultsAndItsExitWriteFails) {
    // An application-data folder inside one that does not exist: nothing can be made there.
    const std::u16string appdata = unique_scratch_path("no-such-folder") + u"/appdata";
    SettingsFolderOps ops;
    ops.folder_exists = [](const std::u16string&) { return false; };
    ops.make_folder = [](const std::u16string&) { return false; };
    const std::u16string path = locate_settings_file(appdata, ops);
    ASSERT_FALSE(path.empty());
    SettingsReader r = settings_open_read(path);
    EXPECT_TRUE(settings_group_was_read(r));
    SettingsWriter w = settings_open_write(path);
    settings_write_int(w, 11, 200);
    EXPECT_FALSE(settings_close_write(w));
}

}  // namespace
