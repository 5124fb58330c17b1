#include "tests/support/test_support.h"

#include <cstdio>
#include <cstdlib>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "common/utf16.h"

namespace {

std::u16string scratch_folder() {
    static std::u16string folder;
    if (!folder.empty()) return folder;
#ifdef _WIN32
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring dir = std::wstring(temp) + L"pxtest-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(dir.c_str(), nullptr);
    folder.assign(dir.begin(), dir.end());
    folder += u"\\";
#else
    const char* tmp = std::getenv("TMPDIR");
    std::string dir = std::string(tmp && *tmp ? tmp : "/tmp") + "/pxtest-" + std::to_string(getpid());
    mkdir(dir.c_str(), 0700);
    folder = utf8_to_utf16(dir + "/");
#endif
    return folder;
}

}  // namespace

std::u16string fixture_path(const std::string& relative) {
    return utf8_to_utf16(std::string(PX_TEST_SOURCE_DIR) + "/tests/data/" + relative);
}

std::u16string scratch_path(const std::string& name) {
    static int counter = 0;
    return scratch_folder() + utf8_to_utf16(std::to_string(++counter) + "-" + name);
}

#ifdef _WIN32
static FILE* open_file(const std::u16string& path, const wchar_t* mode) {
    return _wfopen(reinterpret_cast<const wchar_t*>(path.c_str()), mode);
}
#define PX_MODE(m) L##m
#else
static FILE* open_file(const std::u16string& path, const char* mode) {
    return std::fopen(utf16_to_utf8(path).c_str(), mode);
}
#define PX_MODE(m) m
#endif

bool write_bytes(const std::u16string& path, const std::vector<uint8_t>& bytes) {
    FILE* f = open_file(path, PX_MODE("wb"));
    if (!f) return false;
    const bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

bool read_bytes(const std::u16string& path, std::vector<uint8_t>* bytes) {
    FILE* f = open_file(path, PX_MODE("rb"));
    if (!f) return false;
    bytes->clear();
    uint8_t buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) bytes->insert(bytes->end(), buf, buf + n);
    std::fclose(f);
    return true;
}
