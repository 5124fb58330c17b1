#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <string>
#include <vector>

#include "cli/codectool/codectool.h"
#include "common/utf16.h"

int wmain(int argc, wchar_t** wargv) {
    // Arguments arrive as UTF-16; the portable code takes UTF-8.
    std::vector<std::string> storage;
    std::vector<char*> argv;
    for (int i = 0; i < argc; ++i) {
        const std::u16string w(reinterpret_cast<const char16_t*>(wargv[i]));
        storage.push_back(utf16_to_utf8(w));
    }
    for (auto& s : storage) argv.push_back(&s[0]);
    _setmode(_fileno(stdout), _O_BINARY);
    return codectool_run(argc, argv.data());
}
