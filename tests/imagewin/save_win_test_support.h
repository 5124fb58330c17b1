// What the save tests under Wine share: a small picture loaded as the current image, boxes
// answered and recorded, file steps that fail on request, and the reference decoders (Pillow,
// djpeg, jpegtran) run as Unix programs beside Wine.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "codecs/file_type.h"
#include "common/stride.h"
#include "common/utf16.h"
#include "common/win/message_box.h"
#include "common/win/process_lock.h"
#include "imagewin/edit_state.h"
#include "imagewin/save_edit_image.h"
#include "imagewin/save_preview.h"
#include "loading/browser_load.h"
#include "loading/codec_set.h"
#include "tests/support/test_support.h"

inline const wchar_t* wide(const std::u16string& s) {
    return reinterpret_cast<const wchar_t*>(s.c_str());
}

inline std::u16string folder_of(const std::u16string& path) {
    return path.substr(0, path.find_last_of(u"\\/"));
}

inline std::vector<uint8_t> file_bytes(const std::u16string& path) {
    std::vector<uint8_t> bytes;
    if (!read_bytes(path, &bytes)) bytes.clear();
    return bytes;
}

struct BoxCall {
    std::wstring text;
    std::wstring caption;
    UINT style;
    bool lock_held;
    bool list_enabled;
};
inline std::vector<BoxCall> g_boxes;

inline int recording_box(HWND, const wchar_t* text, const wchar_t* caption, UINT style) {
    HWND list = g_edit_state.file_list_window;
    g_boxes.push_back({text, caption, style, process_lock_held(), list && IsWindowEnabled(list)});
    return IDOK;
}

// --- Unix programs --------------------------------------------------------------------------

inline std::string unix_path(const std::u16string& path) {
    using Converter = char*(CDECL*)(const wchar_t*);
    static const auto convert = reinterpret_cast<Converter>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!convert) return std::string();
    char* name = convert(wide(path));
    if (!name) return std::string();
    std::string out(name);
    HeapFree(GetProcessHeap(), 0, name);
    return out;
}

// Runs a shell command line (no double quotes in it) and tells whether it ran to its end
// without a failing step. Wine neither waits for a Unix program nor hands its exit code back:
// the command leaves its status in a marker file, renamed into place once written.
inline bool run_unix(const std::string& command) {
    // The scratch folder is named by a process id that Wine hands out again: a file of an
    // earlier run may be there under the same name.
    const std::u16string marker = scratch_path("status.txt");
    DeleteFileW(wide(marker));
    const std::string unix_marker = unix_path(marker);
    const std::string line = "/usr/bin/sh -c \"(" + command + "); echo $? > '" + unix_marker +
                             ".part'; mv '" + unix_marker + ".part' '" + unix_marker + "'\"";
    std::wstring text(line.begin(), line.end());
    STARTUPINFOW start = {};
    start.cb = sizeof start;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(L"/usr/bin/sh", &text[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &start,
                        &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    const DWORD deadline = GetTickCount() + 120000;
    std::vector<uint8_t> status;
    while (!read_bytes(marker, &status)) {
        if (int32_t(GetTickCount() - deadline) > 0) return false;
        Sleep(10);
    }
    return !status.empty() && status[0] == '0';
}

// What a reference decoder found: "key=value" facts and the pixels as top-down RGB.
struct Reference {
    std::map<std::string, std::string> facts;
    std::vector<uint8_t> rgb;
    std::string fact(const std::string& key) const {
        const auto it = facts.find(key);
        return it == facts.end() ? std::string("(none)") : it->second;
    }
};

constexpr const char* kReferenceScript = R"PY(
import sys, struct
from PIL import Image
path, out = sys.argv[1], sys.argv[2]
data = open(path, 'rb').read()
im = Image.open(path)
facts = {'size': '%d,%d' % im.size, 'mode': im.mode, 'format': im.format}
if im.format == 'BMP':
    facts['bits'] = struct.unpack('<H', data[28:30])[0]
elif im.format == 'PNG':
    facts['bits'], facts['colour_type'], facts['interlace'] = data[24], data[25], data[28]
    if 'gamma' in im.info:
        facts['gamma'] = '%.1f' % (1.0 / im.info['gamma'])
    t = im.info.get('transparency')
    if isinstance(t, tuple):
        facts['transparency'] = ','.join(str(v) for v in t)
    c = getattr(im, 'text', {}).get('Comment')
    if c is not None:
        facts['comment'] = c.encode('latin-1').hex()
    at = data.find(b'IDAT') + 4
    facts['zlib_level'] = data[at + 1] >> 6
elif im.format == 'TIFF':
    b = im.tag_v2.get(258)
    facts['bits'] = ','.join(str(v) for v in b) if isinstance(b, tuple) else b
elif im.format == 'GIF':
    facts['bits'] = (data[10] & 7) + 1
    at = 13 + (3 * (2 << (data[10] & 7)) if data[10] & 0x80 else 0)
    while data[at] == 0x21:
        at += 2
        while data[at]:
            at += data[at] + 1
        at += 1
    facts['interlace'] = 1 if data[at + 9] & 0x40 else 0
    if 'transparency' in im.info:
        i = im.info['transparency']
        facts['transparent_rgb'] = ','.join(str(v) for v in im.getpalette()[3 * i:3 * i + 3])
elif im.format == 'JPEG':
    h, v = im.layer[0][1], im.layer[0][2]
    facts['sampling'] = '%dx%d' % (h, v) if len(im.layer) > 1 else '1x1'
    facts['progressive'] = 1 if im.info.get('progressive') else 0
    if 'comment' in im.info:
        facts['comment'] = im.info['comment'].hex()
rgb = im.convert('RGB')
with open(out, 'wb') as f:
    f.write(b'P6 %d %d 255\n' % rgb.size)
    f.write(rgb.tobytes())
for k, v in facts.items():
    print('%s=%s' % (k, v))
)PY";

inline bool reference_decode(const std::u16string& file, Reference* ref) {
    static std::u16string script;
    if (script.empty()) {
        script = scratch_path("reference.py");
        const std::string text(kReferenceScript);
        if (!write_bytes(script, std::vector<uint8_t>(text.begin(), text.end()))) return false;
    }
    const std::u16string ppm = scratch_path("reference.ppm");
    const std::u16string facts = scratch_path("reference.txt");
    DeleteFileW(wide(ppm));
    DeleteFileW(wide(facts));
    if (!run_unix("/usr/bin/python3 '" + unix_path(script) + "' '" + unix_path(file) + "' '" +
                  unix_path(ppm) + "' > '" + unix_path(facts) + "'"))
        return false;
    const std::vector<uint8_t> lines = file_bytes(facts);
    std::string line;
    for (uint8_t c : lines) {
        if (c != '\n') {
            line += char(c);
            continue;
        }
        const size_t eq = line.find('=');
        if (eq != std::string::npos) ref->facts[line.substr(0, eq)] = line.substr(eq + 1);
        line.clear();
    }
    const std::vector<uint8_t> image = file_bytes(ppm);
    const size_t header_end = [&] {
        int newlines = 0;
        for (size_t i = 0; i < image.size(); ++i)
            if (image[i] == '\n' && ++newlines == 1) return i + 1;
        return image.size();
    }();
    ref->rgb.assign(image.begin() + long(header_end), image.end());
    return !ref->facts.empty();
}

inline int max_difference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    if (a.size() != b.size()) return 256;
    int most = 0;
    for (size_t i = 0; i < a.size(); ++i) most = std::max(most, std::abs(int(a[i]) - int(b[i])));
    return most;
}

inline double mean_difference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    if (a.size() != b.size() || a.empty()) return 256.0;
    double sum = 0;
    for (size_t i = 0; i < a.size(); ++i) sum += std::abs(int(a[i]) - int(b[i]));
    return sum / double(a.size());
}

// --- the picture ----------------------------------------------------------------------------

// Four blocks of colour, or noise: top-down RGB.
inline std::vector<uint8_t> test_picture(int width, int height, bool noisy) {
    static const uint8_t colours[4][3] = {{200, 30, 40}, {20, 180, 60}, {30, 40, 220}, {240, 240, 240}};
    std::vector<uint8_t> rgb(size_t(width) * height * 3);
    uint32_t seed = 12345;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c) {
                seed = seed * 1103515245u + 12345u;
                const int block = (y < height / 2 ? 0 : 2) + (x < width / 2 ? 0 : 1);
                rgb[(size_t(y) * width + x) * 3 + c] = noisy ? uint8_t(seed >> 16) : colours[block][c];
            }
    return rgb;
}

inline std::vector<uint8_t> bmp_file_of(const std::vector<uint8_t>& rgb, int width, int height) {
    const uint32_t stride = uint32_t(row_stride_bytes(width, 24));
    const uint32_t size = 54 + stride * height;
    std::vector<uint8_t> b(size, 0);
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
    };
    b[0] = 'B';
    b[1] = 'M';
    put32(2, size);
    put32(10, 54);
    put32(14, 40);
    put32(18, uint32_t(width));
    put32(22, uint32_t(height));
    b[26] = 1;
    b[28] = 24;
    put32(38, 2835);
    put32(42, 2835);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c)
                b[54 + size_t(height - 1 - y) * stride + x * 3 + c] =
                    rgb[(size_t(y) * width + x) * 3 + 2 - c];
    return b;
}

// The current image as top-down RGB.
inline std::vector<uint8_t> shown_rgb() {
    const EditImageDescription& d = g_edit_state.image;
    const int64_t stride = row_stride_bytes(d.width, d.bit_count);
    std::vector<uint8_t> rgb;
    for (int y = 0; y < d.height; ++y) {
        const uint8_t* row = g_edit_state.bits + (d.height - 1 - y) * stride;
        for (int x = 0; x < d.width; ++x) {
            if (d.bit_count == 8) {
                const RgbQuad& q = d.palette[row[x]];
                rgb.insert(rgb.end(), {q.red, q.green, q.blue});
            } else {
                rgb.insert(rgb.end(), {row[x * 3 + 2], row[x * 3 + 1], row[x * 3]});
            }
        }
    }
    return rgb;
}

inline const char* extension_of(SaveFormat format) {
    static const char* const names[] = {"bmp", "png", "jpg", "tif", "gif", "jpg"};
    return names[format];
}

// "z" and 5,000 times "あ": 10,001 bytes in code page 932, over the writers' limit.
inline std::u16string long_japanese_comment() {
    return u"z" + std::u16string(5000, u'あ');
}

// What the file must hold: the text up to its last whole character within 9,999 bytes.
inline std::string expected_comment_hex() {
    std::string hex = "7a";
    for (int i = 0; i < 4999; ++i) hex += "82a0";
    return hex;
}

// Files made by GetTempFileNameW ("tmp" + hex + ".tmp") in the system's temporary folder and
// in the scratch folder.
inline int count_temp_files() {
    int count = 0;
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    for (const std::wstring& folder :
         {std::wstring(temp), std::wstring(wide(folder_of(scratch_path("x"))))}) {
        WIN32_FIND_DATAW found;
        HANDLE find =
            FindFirstFileW((folder + (folder.back() == L'\\' ? L"" : L"\\") + L"tmp*.tmp").c_str(), &found);
        if (find == INVALID_HANDLE_VALUE) continue;
        do ++count;
        while (FindNextFileW(find, &found));
        FindClose(find);
    }
    return count;
}

// File steps of a save that fail on request; the recycle bin is a scratch folder.
struct FailingOps : SaveFileOps {
    enum class Step { none, make_temp, make_beside, copy, recycle, move };
    explicit FailingOps(Step step) : fail(step) {}
    Step fail;
    std::u16string staged;
    std::vector<std::u16string> recycled;

    bool make_temp_file(const std::u16string& folder, std::u16string* out) override {
        if (folder.empty()) return fail != Step::make_temp && SaveFileOps::make_temp_file(folder, out);
        if (fail == Step::make_beside) return false;
        const bool ok = SaveFileOps::make_temp_file(folder, out);
        if (ok) staged = *out;
        return ok;
    }
    bool copy_file(const std::u16string& from, const std::u16string& to) override {
        if (fail != Step::copy) return SaveFileOps::copy_file(from, to);
        // Half a file, as a full disk leaves it.
        std::vector<uint8_t> bytes = file_bytes(from);
        bytes.resize(bytes.size() / 2);
        (void)write_bytes(to, bytes);
        return false;
    }
    bool recycle_file(const std::u16string& path) override {
        if (fail == Step::recycle) return false;
        const std::u16string bin = scratch_path("recycled");
        if (!MoveFileExW(wide(path), wide(bin), MOVEFILE_REPLACE_EXISTING)) return false;
        recycled.push_back(bin);
        return true;
    }
    bool move_file(const std::u16string& from, const std::u16string& to) override {
        return fail != Step::move && SaveFileOps::move_file(from, to);
    }
};

class SaveWin : public ::testing::Test {
protected:
    void SetUp() override {
        if (!process_lock_exists()) process_lock_init();
        ASSERT_TRUE(create_codec_contexts());
        saved_options_ = g_browser_options;
        g_browser_options.apply_transparency = 0;
        g_browser_options.gamma_enabled = 0;
        g_browser_options.plugin_folder.clear();
        EditState& s = g_edit_state;
        s.memory_dc = CreateCompatibleDC(nullptr);
        s.save_preview_dc = CreateCompatibleDC(nullptr);
        s.window_kind = 1;
        SaveSettings& o = s.save;
        o.save_format = kSavePng;
        o.target_bits = 24;
        o.png_compression = 9;
        o.gamma = 2200;
        o.transparent_colour = 0xFFFFFF;
        o.jpeg_quality = 75;
        o.jpeg_markers = 2;
        o.jpeg_trim = 1;
        o.jpeg_size_limit_kb = 100;
        g_boxes.clear();
        previous_hook_ = set_message_box_hook(recording_box);
        temp_files_at_start_ = count_temp_files();
        // Replaced files go to a scratch folder, not the user's recycle bin.
        previous_ops_ = set_save_file_ops(&bin_only_);
        list_window_ =
            CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    }
    void TearDown() override {
        discard_save_preview();
        set_save_file_ops(previous_ops_);
        release_current_image();
        history_clear(g_edit_state.history, 0);
        if (g_edit_state.memory_dc) DeleteDC(g_edit_state.memory_dc);
        if (g_edit_state.save_preview_dc) DeleteDC(g_edit_state.save_preview_dc);
        g_edit_state = EditState{};
        set_message_box_hook(previous_hook_);
        g_browser_options = saved_options_;
        destroy_codec_contexts();
        DestroyWindow(list_window_);
    }

    // Writes the picture as a 24-bit BMP in the scratch folder and makes it the current image.
    void load_source(int width = 18, int height = 16, bool noisy = false) {
        width_ = width;
        height_ = height;
        source_ = test_picture(width, height, noisy);
        const std::u16string path = scratch_path("source.bmp");
        ASSERT_TRUE(write_bytes(path, bmp_file_of(source_, width, height)));
        ASSERT_TRUE(load_image_into_edit_state(path));
        const std::u16string folder = folder_of(path);
        folder.copy(g_edit_state.image.folder, size_t(kEditPathChars - 1));
        g_edit_state.image.folder[folder.size()] = 0;
        g_edit_state.save_choices = EditSaveChoices{};
        g_boxes.clear();
    }
    const std::vector<uint8_t>& source_rgb() const { return source_; }

    // The picture saved as a JPEG (quality 95) and loaded from there.
    std::u16string make_jpeg_source() {
        load_source();
        g_edit_state.save.save_format = kSaveJpeg;
        g_edit_state.save.jpeg_quality = 95;
        const std::u16string path = scratch_path("source.jpg");
        EXPECT_TRUE(save_edit_image_to(path));
        EXPECT_TRUE(load_image_into_edit_state(path));
        EXPECT_EQ(g_edit_state.image.source_format, kFileJpeg);
        g_boxes.clear();
        return path;
    }

    int temp_files_left() const { return count_temp_files() - temp_files_at_start_; }

    int width_ = 0;
    int height_ = 0;
    std::vector<uint8_t> source_;
    BrowserOptions saved_options_;
    MessageBoxHook previous_hook_ = nullptr;
    int temp_files_at_start_ = 0;
    FailingOps bin_only_{FailingOps::Step::none};
    HWND list_window_ = nullptr;  // a stand-in for the file list window
    SaveFileOps* previous_ops_ = nullptr;
};
